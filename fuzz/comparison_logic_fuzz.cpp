// Random typed values into the inputs and settings of the comparison and logic
// blocks, run by Operate and by wired triggers, as a host would drive them.
// Every run must end with a status these families name (0 or type mismatch);
// their outputs are pinned case by case by the blocks' own tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string_view>

#include "fuzz/random_array.h"

namespace {

// Any scalar kind, with Null and the operands of the 0/1 rule more often.
Variant Scalar(FuzzBytes& in) {
    switch (in.Byte() % 4) {
        case 0:
            return Variant::Null();
        case 1:
            return Variant::I4(in.Byte() % 3);
        default:
            return random_array::Scalar(
                in,
                random_array::kElementTypes[in.Byte() % std::size(random_array::kElementTypes)]);
    }
}

Variant Value(FuzzBytes& in) {
    return in.Byte() % 6 != 0 ? Scalar(in) : random_array::Value(in);
}

constexpr std::string_view kBlocks[] = {
    "OVEquality", "OVNotEqual",      "OVGreaterThan", "OVGreaterThanEqual",
    "OVLessThan", "OVLessThanEqual", "OVAnd",         "OVOr",
    "OVXor",      "OVNand",          "OVNor",         "OVNot"};
constexpr size_t kComparisonCount = 6;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const size_t which = in.Byte() % std::size(kBlocks);
    ComPtr<COleControl> block = NewBlock(kBlocks[which]);
    const bool comparison = which < kComparisonCount;
    const int32_t inputs = kBlocks[which] == "OVNot" ? 1 : 2;
    bool cancel = false;  // a RunBlock handler puts CancelBlock
    OnEvents(*block, [&block, &cancel](DISPID id, std::span<const Variant> args) {
        if (id == 3 && cancel) Put(*block, 0x10004, Variant::I4(1));
        // ErrorOut ends every uncancelled run.
        if (id == 5) Require(OneOf(args[1].lVal(), {0, TYPE_E_TYPEMISMATCH}));
    });
    for (int steps = 0; !in.Empty() && steps < 64; ++steps) {
        switch (in.Byte() % 8) {
            case 0:
            case 1:
                Put(*block, 1 + in.Byte() % inputs, Value(in));
                break;
            case 2:  // outputs and settings; the dispatch may refuse the kind
                Put(*block, inputs + 1 + in.Byte() % (comparison ? 5 : 3), Value(in));
                break;
            case 3:
                Operate(*block);
                break;
            case 4: {
                const DISPID targets[] = {0x10001, 1, 2};
                Put(*block, 0x10003, Variant::I4(targets[in.Byte() % (inputs + 1)]));
                break;
            }
            case 5:
                Put(*block, 0x10001, Value(in));
                break;
            case 6:
                cancel = !cancel;
                break;
            default:
                SaveAndLoad(*block);
                break;
        }
    }
    return 0;
}
