// Reads arbitrary text as a typed value; whatever reads must print as text that
// reads back to an equal value (bit for bit) and prints the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

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
        if (error.empty()) std::abort();  // every refusal says why
        return 0;
    }
    const std::string printed = FormatValue(value, names);
    Variant back;
    if (!ParseValue(printed, &back, &error, resolve) || !(back == value)) std::abort();
    if (FormatValue(back, names) != printed) std::abort();
    // Without a resolver the same text must come back whenever it claims to.
    if (HasExactText(value) && !(ParseValue(FormatValue(value), &back, nullptr) && back == value)) {
        std::abort();
    }
    return 0;
}
