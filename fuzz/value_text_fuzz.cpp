// Reads arbitrary text as a typed value; whatever reads must print as text that
// reads back to an equal value (bit for bit) and prints the same again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "platform/value_text.h"

namespace {

// Every name stands for this one object, so dispatch values take part too.
class Anything : public RefCounted<IDispatch> {
  public:
    HRESULT GetIDsOfNames(std::string_view, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, uint16_t, std::span<Variant>, Variant*, uint32_t*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ComPtr<IDispatch> object = MakeCom<Anything>();
    const DispatchResolver resolve = [](std::string_view) { return object; };
    const DispatchNamer names = [](IDispatch*) { return std::string("obj"); };

    std::string_view text(reinterpret_cast<const char*>(data), size);
    Variant value;
    std::string error;
    if (!ParseValue(text, &value, &error, resolve)) {
        Require(!error.empty());  // every refusal says why
        return 0;
    }
    const std::string printed = FormatValue(value, names);
    Variant back;
    Require(ParseValue(printed, &back, &error, resolve) && back == value);
    Require(FormatValue(back, names) == printed);
    // Without a resolver the same text must come back whenever it claims to.
    Require(!HasExactText(value) ||
            (ParseValue(FormatValue(value), &back, nullptr) && back == value));
    return 0;
}
