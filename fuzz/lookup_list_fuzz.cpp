// Lookup list files of any bytes, read by an OVLookup run (list_block_driver.h).
// Also checked: a file without entries leaves Value and MapIndex as they were,
// and a match names an entry that exists.
#include "fuzz/list_block_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ListRun run;
    RunListBlock(data, size, "OVLookup", &ParseLookupList, 2, run);
    if (!run.block) return 0;
    Variant index;
    run.block->Invoke(4, DISPATCH_PROPERTYGET, {}, &index);
    if (run.list.Count() == 0 || run.status != 0) {
        Require(index.lVal() == 0);
    } else {
        Require(index.lVal() >= 0 && static_cast<size_t>(index.lVal()) < run.list.Count() / 2);
    }
    return 0;
}
