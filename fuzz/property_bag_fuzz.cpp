// Reads arbitrary text as a property-bag file; whatever reads must serialize to
// text that reads back to an equal bag and serializes the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/property_bag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    PropertyBag bag;
    std::string error;
    if (!PropertyBag::Parse(text, &bag, &error)) {
        if (error.rfind("line ", 0) != 0) std::abort();  // every refusal names its line
        return 0;
    }
    const std::string serialized = bag.Serialize();
    PropertyBag back;
    if (!PropertyBag::Parse(serialized, &back, &error) || !(back == bag)) std::abort();
    if (back.Serialize() != serialized) std::abort();
    return 0;
}
