#include "framework/status.h"

#include <cstdio>
#include <ctime>

#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/registry.h"

std::string StatusText(int32_t code) {
    if (auto text = FormatMessage(code)) {
        std::string message = *text;
        while (!message.empty() && (message.back() == ' ' || message.back() == '\t' ||
                                    message.back() == '\r' || message.back() == '\n')) {
            message.pop_back();
        }
        return message;
    }
    return code == ERROR_DIVIDE_BY_ZERO_HR ? kDivideByZeroText : kUnknownErrorText;
}

void WriteErrorLog(const std::string& displayName, int32_t code, const std::string& message) {
    std::string folder = kDefaultHostFolder;
    if (auto path = RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane Inc.\\Plexa", "PATH")) {
        folder = *path;
    }
    char stamp[128] = "";
    std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(stamp, sizeof stamp, "%c", local);
    }
    FILE* log = OpenPlatformFile(folder + "\\Error.txt", "at");
    if (log == nullptr) return;
    std::fprintf(log, "%s, %s, %i, %s\n", stamp, displayName.c_str(), code, message.c_str());
    std::fclose(log);
}
