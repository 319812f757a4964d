// Random typed values into the inputs and settings of IfThenElse, SubString
// and OVAlarm, driven as a host drives them (Operate, wired triggers,
// AlarmClear, a RunBlock handler that cancels): no crash, and every status one
// the blocks define.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/random_array.h"

namespace {

// Texts that reach the interesting roads more often than random bytes do.
const char* const kWords[] = {"0", "-1", "true", "False", " 12abc", "1.5", "", " x ", "nan"};

Variant Value(FuzzBytes& in) {
    switch (in.Byte() % 12) {
        case 0:
            return Variant();
        case 1:
            return Variant::I4(in.Raw<int32_t>());
        case 2:
            return Variant::R8(in.Raw<double>());
        case 3:
            return Variant::Bool(in.Byte() & 1);
        case 4:
            return Variant::Str(in.Text(16));
        case 5:
            return Variant::Str(kWords[in.Byte() % std::size(kWords)]);
        case 6:
        case 7:
            return random_array::Value(in);
        case 8:
            return Variant::Null();
        case 9:
            return Variant::I2(static_cast<int16_t>(in.Byte() % 14 - 2));
        case 10:
            return Variant::Date(in.Raw<double>());
        default:
            return Variant::R8(static_cast<double>(in.Byte() % 120) - 10);
    }
}

struct BlockPlan {
    const char* progId;
    std::vector<const char*> members;  // what a put may address
    std::vector<int32_t> statuses;     // every status a run may end with
};

const BlockPlan kPlans[] = {
    {"TALLYKIT.IfThenElseCtrl.1",
     {"InputX", "InputY", "_InputX", "Compare", "CaseSensitive", "IgnoreWhiteSpace", "ValueThen",
      "ValueElse"},
     {0, TYPE_E_TYPEMISMATCH}},
    {"TALLYKIT.SubStringCtrl.1",
     {"InputString", "InputSubString", "_InputString", "CaseSensitive", "IgnoreWhiteSpace",
      "SubString", "NotSubString"},
     {0, TYPE_E_TYPEMISMATCH}},
    {"TALLYKIT.OVAlarmCtrl.1",
     {"Value", "VeryHigh", "High", "Low", "VeryLow", "AlarmOptions", "AlarmClear",
      "HighAlarmState"},
     {0, TYPE_E_TYPEMISMATCH, ERROR_INVALID_DATA_HR}},
};

bool Allowed(const BlockPlan& plan, int32_t status) {
    return std::ranges::find(plan.statuses, status) != plan.statuses.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const uint8_t head = in.Byte();
    const BlockPlan& plan = kPlans[head % std::size(kPlans)];
    const bool cancel = (head & 0x80) != 0;
    ComPtr<COleControl> block = NewBlock(plan.progId);

    COleControl* raw = block.Get();
    OnEvents(*block, [&plan, cancel, raw](DISPID id, std::span<const Variant> args) {
        if (id == 5) {  // ErrorOut: every run ends with its status
            Require(args.size() == 3 && args[1].vt() == VT_I4);
            Require(Allowed(plan, args[1].lVal()));
        }
        if (id == 3 && cancel) Put(*raw, 0x10004, Variant::I4(1));  // RunBlock
    });

    for (int steps = 0; !in.Empty() && steps < 64; ++steps) {
        const uint8_t op = in.Byte();
        const char* member = plan.members[(op >> 3) % plan.members.size()];
        const DISPID id = MemberId(*block, member);
        switch (op % 8) {
            case 0:
            case 1:
            case 2: {
                const HRESULT hr = Put(*block, id, Value(in));
                Require(hr == S_OK || hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW ||
                        hr == CTL_E_SETNOTSUPPORTED);
                break;
            }
            case 3:
                Operate(*block);
                break;
            case 4:
                Put(*block, 0x10003, Variant::I4(id));  // InvalidProperty
                break;
            case 5:
                Put(*block, 0x10003, Variant::I4(0x10001));
                break;
            case 6:
                Put(*block, 0x10001, Variant::Bool(true));  // ControlIn
                break;
            default:
                Get(*block, member == std::string("AlarmClear") ? "Value" : member);
                break;
        }
    }
    return 0;
}
