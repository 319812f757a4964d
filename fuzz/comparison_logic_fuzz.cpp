// Random typed values into the inputs and settings of the comparison and logic
// blocks, run by Operate and by wired triggers, as a host would drive them.
// Every run must end with a status these families name (0 or type mismatch),
// a comparison must set exactly one of its outputs, and a logic result must be
// a Boolean or an integer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "module/class_table.h"
#include "platform/events.h"
#include "platform/property_bag.h"
#include "platform/safearray.h"

namespace {

Variant Scalar(FuzzBytes& in) {
    switch (in.Byte() % 16) {
        case 0:
            return Variant();
        case 1:
            return Variant::Null();
        case 2:
            return Variant::I4(in.Raw<int32_t>());
        case 3:
            return Variant::I4(in.Byte() % 3);  // the 0/1 rule's operands
        case 4:
            return Variant::R8(in.Raw<double>());
        case 5:
            return Variant::R4(in.Raw<float>());
        case 6:
            return Variant::BoolRaw(in.Raw<int16_t>());
        case 7:
            return Variant::Str(in.Text(12));
        case 8:
            return Variant::I1(in.Raw<int8_t>());
        case 9:
            return Variant::UI1(in.Raw<uint8_t>());
        case 10:
            return Variant::I2(in.Raw<int16_t>());
        case 11:
            return Variant::UI2(in.Raw<uint16_t>());
        case 12:
            return Variant::Int(in.Raw<int32_t>());
        case 13:
            return Variant::UInt(in.Raw<uint32_t>());
        case 14:
            return Variant::UI4(in.Raw<uint32_t>());
        default:
            return Variant::I8(in.Raw<int64_t>());
    }
}

Variant Value(FuzzBytes& in) {
    if (in.Byte() % 6 != 0) return Scalar(in);
    const VARTYPE kinds[] = {VT_I4, VT_R8, VT_BSTR, VT_VARIANT, VT_BOOL};
    const VARTYPE kind = kinds[in.Byte() % 5];
    SafeArrayPtr array = SafeArrayCreateVector(kind, 0, in.Byte() % 4);
    for (size_t i = 0; array && i < array->Count(); ++i) {
        Variant element = Scalar(in);
        if (kind == VT_VARIANT || SUCCEEDED(VariantChangeType(&element, &element, 0, kind))) {
            array->SetElementAt(i, element);
        }
    }
    return Variant::Array(std::move(array));
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

    HRESULT Put(DISPID id, Variant value) {
        Variant args[] = {std::move(value)};
        return block->Invoke(id, DISPATCH_PROPERTYPUT, args, nullptr);
    }
    Variant Get(DISPID id) {
        Variant out;
        Require(SUCCEEDED(block->Invoke(id, DISPATCH_PROPERTYGET, {}, &out)));
        return out;
    }
    // What a finished run must leave behind; ErrorOut tells its status.
    void CheckRun(int32_t status) {
        Require(status == 0 || status == TYPE_E_TYPEMISMATCH);
        if (status != 0) return;
        if (comparison) {
            Require(Get(3).boolVal() != Get(4).boolVal());
            return;
        }
        DISPID value = DISPID_UNKNOWN;
        block->GetIDsOfNames("Value", &value);
        const VARTYPE vt = Get(value).vt();
        Require(vt == VT_BOOL || vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 ||
                vt == VT_INT || vt == VT_UINT || vt == VT_I4 || vt == VT_UI4);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const size_t which = in.Byte() % std::size(kBlocks);
    Driver d;
    d.block = FindClass(kBlocks[which])->create();
    d.comparison = which < kComparisonCount;
    d.block->InitNew();
    const int32_t inputs = kBlocks[which] == "OVNot" ? 1 : 2;
    d.block->Advise(
        ComPtr<IDispatch>(MakeCom<EventSink>([&d](DISPID id, std::span<const Variant> args) {
            if (id == 3 && d.cancel) d.Put(0x10004, Variant::I4(1));
            if (id == 5) d.CheckRun(args[1].lVal());  // ErrorOut ends every uncancelled run
        })));
    for (int steps = 0; !in.Empty() && steps < 64; ++steps) {
        switch (in.Byte() % 8) {
            case 0:
            case 1:
                d.Put(1 + in.Byte() % inputs, Value(in));
                break;
            case 2:  // outputs and settings; the dispatch may refuse the kind
                d.Put(inputs + 1 + in.Byte() % (d.comparison ? 5 : 3), Value(in));
                break;
            case 3: {
                DISPID operate = DISPID_UNKNOWN;
                d.block->GetIDsOfNames("Operate", &operate);
                Variant result;
                Require(SUCCEEDED(d.block->Invoke(operate, DISPATCH_METHOD, {}, &result)));
                break;
            }
            case 4: {
                const DISPID targets[] = {0x10001, 1, 2};
                d.Put(0x10003, Variant::I4(targets[in.Byte() % (inputs + 1)]));
                break;
            }
            case 5:
                d.Put(0x10001, Value(in));
                break;
            case 6:
                d.cancel = !d.cancel;
                break;
            default: {
                PropertyBag bag;
                d.block->Save(bag);
                d.block->Load(bag);
                break;
            }
        }
    }
    return 0;
}
