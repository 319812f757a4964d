// Random typed values into the inputs and settings of the comparison and logic
// blocks, run by Operate and by wired triggers, as a host would drive them.
// Every run must end with a status these families name (0 or type mismatch),
// a comparison must set exactly one of its outputs, and a logic result must be
// a Boolean or an integer.
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

struct Driver {
    ComPtr<COleControl> block;
    bool comparison = false;
    bool cancel = false;  // a RunBlock handler puts CancelBlock

    // What a finished run must leave behind; ErrorOut tells its status.
    void CheckRun(int32_t status) {
        Require(OneOf(status, {0, TYPE_E_TYPEMISMATCH}));
        if (status != 0) return;
        if (comparison) {
            Require(Get(*block, 3).boolVal() != Get(*block, 4).boolVal());
            return;
        }
        Require(OneOf(Get(*block, "Value").vt(),
                      {VT_BOOL, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_INT, VT_UINT, VT_I4, VT_UI4}));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const size_t which = in.Byte() % std::size(kBlocks);
    Driver d;
    d.block = NewBlock(kBlocks[which]);
    d.comparison = which < kComparisonCount;
    const int32_t inputs = kBlocks[which] == "OVNot" ? 1 : 2;
    OnEvents(*d.block, [&d](DISPID id, std::span<const Variant> args) {
        if (id == 3 && d.cancel) Put(*d.block, 0x10004, Variant::I4(1));
        if (id == 5) d.CheckRun(args[1].lVal());  // ErrorOut ends every uncancelled run
    });
    for (int steps = 0; !in.Empty() && steps < 64; ++steps) {
        switch (in.Byte() % 8) {
            case 0:
            case 1:
                Put(*d.block, 1 + in.Byte() % inputs, Value(in));
                break;
            case 2:  // outputs and settings; the dispatch may refuse the kind
                Put(*d.block, inputs + 1 + in.Byte() % (d.comparison ? 5 : 3), Value(in));
                break;
            case 3:
                Operate(*d.block);
                break;
            case 4: {
                const DISPID targets[] = {0x10001, 1, 2};
                Put(*d.block, 0x10003, Variant::I4(targets[in.Byte() % (inputs + 1)]));
                break;
            }
            case 5:
                Put(*d.block, 0x10001, Value(in));
                break;
            case 6:
                d.cancel = !d.cancel;
                break;
            default:
                SaveAndLoad(*d.block);
                break;
        }
    }
    return 0;
}
