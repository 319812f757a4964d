// Switch list files of any bytes, read by an OVSwitch run (list_block_driver.h).
// Also checked: every run fires exactly one output event (a case's or
// DefaultOut).
#include "fuzz/list_block_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ListRun run;
    RunListBlock(data, size, "OVSwitch", &ParseSwitchList, 1, run);
    if (!run.block) return 0;
    Require(run.outputs == 1);
    return 0;
}
