// Random typed arrays and indexes into every member of the array blocks, run by
// Operate, by wired triggers and by ClearArray, with saves and loads between.
// Every run must report a status these blocks name, and the block must stay
// usable. Arrays are limited to 1 MB so that huge requests take the
// out-of-memory road instead of the machine's memory.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

#include "framework/block_array.h"
#include "fuzz/random_array.h"

namespace {

constexpr std::string_view kBlocks[] = {"OVCollector",   "OVSetElement", "OVGetElement",
                                        "OVConcatArray", "OVSubArray",   "OVPack",
                                        "OVUnpack"};

// E_INVALIDARG: a collection whose index ran past INT32_MAX.
bool NamedStatus(int32_t status) {
    return OneOf(status, {S_OK, TYPE_E_TYPEMISMATCH, TYPE_E_OUTOFBOUNDS, ERROR_INVALID_DATA_HR,
                          E_OUTOFMEMORY, E_INVALIDARG});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (SetArrayByteLimit(1 << 20), true);
    (void)limited;
    FuzzBytes in(data, size);
    ComPtr<COleControl> block = NewBlock(kBlocks[in.Byte() % std::size(kBlocks)]);
    OnEvents(*block, [](DISPID id, std::span<const Variant> args) {
        if (id == 5) Require(NamedStatus(args[1].lVal()));  // ErrorOut ends every run
    });
    const DISPID operate = MemberId(*block, "Operate");
    for (int steps = 0; !in.Empty() && steps < 48; ++steps) {
        switch (in.Byte() % 8) {
            case 0:
            case 1:  // a member before Operate: arrays, indexes, flags, ClearArray
                Put(*block, 1 + in.Byte() % (operate - 1), random_array::Value(in));
                break;
            case 2:
                Put(*block, 1 + in.Byte() % (operate - 1), Variant::I4(random_array::Index(in)));
                break;
            case 3:
            case 4: {
                Operate(*block);
                Require(NamedStatus(Get(*block, 0x10002).lVal()));
                break;
            }
            case 5:  // wired mode: invalidate an input or the trigger
                Put(*block, 0x10003, Variant::I4(in.Byte() % 2 ? 0x10001 : 1 + in.Byte() % 4));
                break;
            case 6:
                Put(*block, 0x10001, Variant::Bool(true));
                break;
            default:
                SaveAndLoad(*block);
                break;
        }
    }
    return 0;
}
