// tallykit: the scriptable host of the TallyKit blocks.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_files.h"
#include "host/module_commands.h"
#include "host/page_commands.h"
#include "host/script_host.h"
#include "platform/paths.h"

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
           "  tallykit pages CLASS   open the property frame of a new block (needs a display)\n"
           "  tallykit gallery DIR   render every property page and about box into DIR\n";
    PrintModuleUsage(out);
    out << "  tallykit --help        this text\n"
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

// Runs script lines given on the command line.
int RunLines(const std::string& text) {
    ScriptHost host(std::cout, std::cerr);
    host.RunScript(text, "<command line>");
    std::cout.flush();
    return host.ExitStatus();
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

volatile std::sig_atomic_t g_cancel = 0;

#ifdef TK_HAVE_READLINE
volatile std::sig_atomic_t g_atPrompt = 0;
const ScriptHost* g_host = nullptr;  // what Tab completes against

// Ctrl-C at the prompt drops the line being typed; while a line runs, it asks
// the host to stop its loop. Either way the session goes on.
void OnInterrupt(int) {
    if (g_atPrompt) {
        (void)!write(STDOUT_FILENO, "\n", 1);
        rl_on_new_line();
        rl_replace_line("", 0);
        rl_redisplay();
    } else {
        g_cancel = 1;
    }
}

char* NextCompletion(const char* text, int state) {
    static std::vector<std::string> matches;
    static size_t next = 0;
    if (state == 0) {
        matches = g_host->Completions(
            std::string_view(rl_line_buffer, rl_point - std::strlen(text)), text);
        next = 0;
    }
    return next < matches.size() ? strdup(matches[next++].c_str()) : nullptr;
}

char** Complete(const char* text, int, int) {
    rl_attempted_completion_over = 1;  // no file names as a fallback
    return rl_completion_matches(text, NextCompletion);
}

// The prompt's history lives in the user's data folder, across sessions.
std::string HistoryFile() {
    std::string path =
        ResolveUserPath("TALLYKIT_HISTORY", "XDG_DATA_HOME", ".local/share", "tallykit/history");
    if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    return path;
}
#endif

int Interactive() {
    HostOptions options;
    options.cancel = &g_cancel;
    ScriptHost host(std::cout, std::cerr, options);
    struct sigaction action = {};
    action.sa_handler = [](int) { g_cancel = 1; };
#ifdef TK_HAVE_READLINE
    if (isatty(STDIN_FILENO)) {
        g_host = &host;
        rl_attempted_completion_function = Complete;
        rl_completer_word_break_characters = const_cast<char*>(" \t=(,");
        const std::string history = HistoryFile();
        // append_history only adds to a file that exists.
        if (!history.empty() && read_history(history.c_str()) != 0) write_history(history.c_str());
        action.sa_handler = OnInterrupt;
        sigaction(SIGINT, &action, nullptr);
        std::cout << "tallykit: type help for the commands, quit or end of input to leave\n";
        while (!host.Stopped()) {
            g_atPrompt = 1;
            char* line = readline("tallykit> ");
            g_atPrompt = 0;
            if (line == nullptr) break;
            if (*line != '\0') {
                add_history(line);
                if (!history.empty()) append_history(1, history.c_str());
            }
            g_cancel = 0;
            host.RunLine(line);
            std::free(line);
            std::cout.flush();
        }
        if (!history.empty()) history_truncate_file(history.c_str(), 1000);
        return host.ExitStatus();
    }
#endif
    sigaction(SIGINT, &action, nullptr);
    std::string line;
    while (!host.Stopped() && std::getline(std::cin, line)) {
        g_cancel = 0;
        host.RunLine(line);
        std::cout.flush();
    }
    return host.ExitStatus();
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    InstallSessionDesktop();
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
    // Quoted, so that a name with blanks or quotes stays one word of the script.
    auto quoted = [](std::string_view word) { return "\"" + EscapeBytes(word) + "\""; };
    if (command == "pages" && argc == 3)
        return RunLines("new block " + std::string(argv[2]) + " design\npages block\n");
    if (command == "gallery" && argc == 3) return RunLines("gallery " + quoted(argv[2]) + "\n");
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (std::optional<int> status = RunModuleCommand(args, std::cout, std::cerr)) return *status;
    if (command == "classes" && argc == 2) {
        PrintClasses(std::cout);
        return 0;
    }
    std::cerr << "tallykit: unknown command line (tallykit --help shows the usage)\n";
    return kUsageError;
}
