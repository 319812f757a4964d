// tallykit: the scriptable host of the TallyKit blocks.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "host/module_commands.h"
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
           "  tallykit classes       list the creatable classes\n";
    PrintModuleUsage(out);
    out << "  tallykit --help        this text\n"
           "\n"
           "Exit status: 0 when every line ran clean, 1 after a bad line or a failed\n"
           "expect, 2 for a wrong command line or an unreadable script.\n"
           "The transcript goes to standard output; each bad line gives one diagnostic\n"
           "`FILE:LINE: ...` on standard error, and a call an object refused also prints\n"
           "`error 0xHHHHHHHH MESSAGE` in the transcript.\n"
           "\n"
           "Script commands (`#` starts a comment):\n";
    PrintCommands(out);
    out << "\nValues: empty, null, i1 -3, ui1 200, i2 5, ui2 5, i4 5, ui4 5, int 5, uint 5,\n"
           "r4 1.5, r8 2.5, cy 1.25, date 45000.5, bool true, bstr \"text\", error 0x80020004,\n"
           "dispatch OBJ, arrays r8[1, 2], r8@5[1, 2], r8[[1, 2], [3, 4]]; untyped 5 (i4),\n"
           "2.5 (r8), \"x\" (bstr), true/false (bool), nan, inf, -inf (r8). In place of a\n"
           "value: $N (argument N of the event being handled), OTHER.MEMBER (its value).\n";
}

int RunFile(const std::string& path) {
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "tallykit: cannot read " << path << ": " << std::strerror(errno) << '\n';
            return kUsageError;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    if (command == "run" && argc == 3) return RunFile(argv[2]);
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (std::optional<int> status = RunModuleCommand(args, std::cout, std::cerr)) return *status;
    if (command == "classes" && argc == 2) {
        PrintClasses(std::cout);
        return 0;
    }
    std::cerr << "tallykit: unknown command line (tallykit --help shows the usage)\n";
    return kUsageError;
}
