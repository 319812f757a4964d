#include "host/module_commands.h"

#include <cstdio>
#include <filesystem>

#include "framework/block_help.h"
#include "module/registration.h"
#include "module/type_library.h"
#include "platform/registry.h"
#include "tallykit/tallykit.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int Registration(HRESULT (*step)(), std::string_view verb, std::ostream& out, std::ostream& err) {
    HRESULT hr = step();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    if (FAILED(hr)) {
        err << "tallykit: " << verb << " failed: " << code << " ("
            << (hr == SELFREG_E_TYPELIB ? "type library" : "class") << " step) in "
            << RegistryFilePath() << '\n';
        return kFailed;
    }
    out << verb << ": " << RegistryFilePath() << '\n';
    return 0;
}

std::string HelpViewerBesideModule() {
    return (std::filesystem::path(ModulePath()).parent_path() / kHtmlHelpLibraryName).string();
}

// Registers the help viewer that sits beside the module, so that the blocks'
// help works from a build tree as well as from an installed one. A viewer the
// user registered is left alone.
void RegisterHelpViewerBesideModule() {
    if (RegReadString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, "")) return;
    std::error_code error;
    const std::string viewer = HelpViewerBesideModule();
    if (std::filesystem::exists(viewer, error))
        RegWriteString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, "", viewer);
}

// Takes back what registering wrote for the help viewer, so that unregistering
// leaves nothing of ours; a viewer the user registered stays.
void UnregisterHelpViewerBesideModule() {
    if (RegReadString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, "") != HelpViewerBesideModule())
        return;
    const std::string_view serverKey = kHtmlHelpServerKey;
    RegDeleteKey(HKEY_CLASSES_ROOT, serverKey.substr(0, serverKey.rfind('\\')));
}

}  // namespace

std::optional<int> RunModuleCommand(std::span<const std::string_view> args, std::ostream& out,
                                    std::ostream& err) {
    if (args.empty()) return std::nullopt;
    std::string_view command = args[0];
    if (command == "register" && args.size() == 1) {
        int status = Registration(&DllRegisterServer, "registered", out, err);
        if (status == 0) RegisterHelpViewerBesideModule();
        return status;
    }
    if (command == "unregister" && args.size() == 1) {
        int status = Registration(&DllUnregisterServer, "unregistered", out, err);
        if (status == 0) UnregisterHelpViewerBesideModule();
        return status;
    }
    if (command == "typelib") {
        if (args.size() == 1) {
            WriteTypeLibraryIdl(out);
            return 0;
        }
        if (args.size() == 2 && args[1] == "--json") {
            WriteTypeLibraryJson(out);
            return 0;
        }
        err << "tallykit: usage: tallykit typelib [--json]\n";
        return kUsageError;
    }
    if (command == "register" || command == "unregister") {
        err << "tallykit: usage: tallykit " << command << '\n';
        return kUsageError;
    }
    return std::nullopt;
}

void PrintModuleUsage(std::ostream& out) {
    out << "  tallykit register      register the module's classes, pages and type library\n"
           "                         (and the help viewer beside it, if none is set)\n"
           "  tallykit unregister    remove those entries again ($TALLYKIT_REGISTRY)\n"
           "  tallykit typelib [--json]\n"
           "                         print the type library as IDL (or as JSON)\n";
}
