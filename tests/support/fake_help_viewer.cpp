// A help viewer that opens nothing and appends each call to the file named by
// $TK_FAKE_HELP_LOG, one line "owner|file|command|data", for the help tests.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) void* HtmlHelpA(void* owner, const char* file,
                                                                  unsigned command,
                                                                  uintptr_t data) {
    const char* log = std::getenv("TK_FAKE_HELP_LOG");
    if (FILE* out = log != nullptr ? std::fopen(log, "a") : nullptr) {
        std::fprintf(out, "%p|%s|%u|%lu\n", owner, file, command, static_cast<unsigned long>(data));
        std::fclose(out);
    }
    return nullptr;
}
