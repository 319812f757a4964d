// A help viewer for the blocks' help topics on a Linux desktop. The module
// loads it by name, or from the path registered under the help viewer's class
// (see framework/block_help.h), and calls HtmlHelpA; it opens the help file
// with the command in $TALLYKIT_HELP_COMMAND, else `xdg-open FILE`.
//
// The command is run by /bin/sh; `%f` in it stands for the help file and `%c`
// for the topic's context number, both passed as arguments rather than pasted
// into the text, so no file name can inject a command. A command naming
// neither gets the file as its last argument. The viewer does not wait for
// the command: the user interface stays responsive while it opens.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr unsigned kShowTopicByContext = 15;

// The command text with %f and %c turned into the shell's "$1" and "$2".
std::string ShellCommand(const char* configured) {
    std::string command = configured != nullptr && *configured != '\0' ? configured : "xdg-open";
    std::string script;
    bool namesFile = false;
    for (size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size() &&
            (command[i + 1] == 'f' || command[i + 1] == 'c')) {
            namesFile = namesFile || command[i + 1] == 'f';
            script += command[i + 1] == 'f' ? "\"$1\"" : "\"$2\"";
            ++i;
        } else {
            script += command[i];
        }
    }
    if (!namesFile) script += " \"$1\"";
    return script;
}

// Runs the command detached: a child starts it in a grandchild and exits at
// once, so nothing is left for this process to reap later.
void RunDetached(const std::string& script, const char* file, const std::string& context) {
    pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        if (fork() == 0) {
            execl("/bin/sh", "sh", "-c", script.c_str(), "tallykit-help", file, context.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* HtmlHelpA(void* /*owner*/, const char* file,
                                                                  unsigned command,
                                                                  uintptr_t data) {
    if (command != kShowTopicByContext || file == nullptr) return nullptr;
    RunDetached(ShellCommand(std::getenv("TALLYKIT_HELP_COMMAND")), file,
                std::to_string(static_cast<uint32_t>(data)));
    return nullptr;
}
