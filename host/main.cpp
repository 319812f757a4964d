// tallykit: the scriptable host of the TallyKit blocks.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "host/host_files.h"
#include "host/script_host.h"

#ifdef TK_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace {

constexpr int kUsageError = 2;

void PrintUsage(std::ostream& out) {
    out << "usage:\n"
           "  tallykit               interactive prompt (the script language, line by line)\n"
           "  tallykit run FILE      run a script; FILE `-` reads standard input\n"
           "  tallykit classes       list the creatable classes\n"
           "  tallykit --help        this text\n"
           "  tallykit --version     the version\n"
           "\n"
           "Exit status: 0 when every line ran clean, 1 after a bad line, a failed\n"
           "expect or a script that cannot be read, 2 for a wrong command line.\n"
           "The transcript goes to standard output; each bad line gives one diagnostic\n"
           "`FILE:LINE: ...` on standard error, and a call an object refused also prints\n"
           "`error 0xHHHHHHHH MESSAGE` in the transcript.\n"
           "\n"
           "Script commands (`#` starts a comment):\n";
    PrintCommands(out);
    out << '\n';
    PrintValueSyntax(out);
}

int RunFile(const std::string& path) {
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (std::string why; !ReadHostFile(path, &text, &why)) {
        std::cerr << "tallykit: cannot read " << EscapeBytes(why) << '\n';
        return 1;
    }
    ScriptHost host(std::cout, std::cerr);
    host.RunScript(text, path == "-" ? "<stdin>" : path);
    std::cout.flush();
    return host.ExitStatus();
}

int Interactive() {
    ScriptHost host(std::cout, std::cerr);
#ifdef TK_HAVE_READLINE
    if (isatty(STDIN_FILENO)) {
        std::cout << "tallykit: type help for the commands, quit or end of input to leave\n";
        while (!host.Stopped()) {
            char* line = readline("tallykit> ");
            if (line == nullptr) break;
            if (*line != '\0') add_history(line);
            host.RunLine(line);
            std::free(line);
            std::cout.flush();
        }
        return host.ExitStatus();
    }
#endif
    std::string line;
    while (!host.Stopped() && std::getline(std::cin, line)) {
        host.RunLine(line);
        std::cout.flush();
    }
    return host.ExitStatus();
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (argc == 1) return Interactive();
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(std::cout);
        return 0;
    }
    if (command == "--version" && argc == 2) {
        std::cout << "tallykit " TK_VERSION "\n";
        return 0;
    }
    if (command == "run" && argc == 3) return RunFile(argv[2]);
    if (command == "classes" && argc == 2) {
        PrintClasses(std::cout);
        return 0;
    }
    std::cerr << "tallykit: unknown command line (tallykit --help shows the usage)\n";
    return kUsageError;
}
