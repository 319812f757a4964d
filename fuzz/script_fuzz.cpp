// Arbitrary bytes as a script: lines, commands, value literals, handlers,
// wires (cycles included), for loops and enumeration names. The host must
// neither crash nor trip a sanitizer, and must finish in bounded time: repeat
// and for counts and the number of commands run are capped, handler and wire
// nesting is bounded by the host, and files (save, load, csv, export) are off
// limits.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string_view>

#include "host/script_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ostream discard(nullptr);  // a stream without buffer drops what it is given
    HostOptions options;
    options.maxRepeat = 64;
    options.maxSteps = 20000;
    options.maxHandlerDepth = 16;
    options.fileAccess = false;
    ScriptHost host(discard, discard, options);
    host.RunScript(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
    return 0;
}
