// Reads arbitrary text as a property-bag file; whatever reads must serialize to
// text that reads back to an equal bag and serializes the same again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "platform/property_bag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    PropertyBag bag;
    std::string error;
    if (!PropertyBag::Parse(text, &bag, &error)) {
        Require(error.starts_with("line "));  // every refusal names its line
        return 0;
    }
    const std::string serialized = bag.Serialize();
    PropertyBag back;
    Require(PropertyBag::Parse(serialized, &back, &error) && back == bag);
    Require(back.Serialize() == serialized);
    return 0;
}
