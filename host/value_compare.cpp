#include "host/value_compare.h"

#include <cmath>

#include "platform/safearray.h"
#include "platform/value_text.h"
#include "platform/variant.h"

namespace {

// Whether two scalars are numbers within `tolerance`; false for non-numbers.
bool Close(const Variant& actual, const Variant& expected, double tolerance, bool* numbers) {
    Variant a, e;
    *numbers = SUCCEEDED(VariantChangeType(&a, &actual, 0, VT_R8)) &&
               SUCCEEDED(VariantChangeType(&e, &expected, 0, VT_R8));
    if (!*numbers) return false;
    const double x = a.dblVal(), y = e.dblVal();
    return (std::isnan(x) && std::isnan(y)) || x == y || std::fabs(x - y) <= tolerance;
}

std::string Shape(const SafeArray& array) {
    std::string text;
    for (uint32_t d = 0; d < array.Dims(); ++d) {
        const SAFEARRAYBOUND& b = array.Bound(d);
        text += (d ? ", " : "") + std::to_string(b.lLbound) + ".." +
                std::to_string(int64_t{b.lLbound} + b.cElements - 1);
    }
    return "(" + text + ")";
}

}  // namespace

std::string ApproximateMismatch(const Variant& actual, const Variant& expected, double tolerance) {
    bool numbers = false;
    if (!actual.IsArray() && !expected.IsArray()) {
        if (Close(actual, expected, tolerance, &numbers)) return {};
        return numbers ? "not within the tolerance" : "not numbers";
    }
    if (!actual.IsArray() || !expected.IsArray() || !actual.parray() || !expected.parray()) {
        return "an array and a scalar";
    }
    const SafeArray& a = *actual.parray();
    const SafeArray& e = *expected.parray();
    if (a.Dims() != e.Dims()) {
        return std::to_string(a.Dims()) + " dimensions, expected " + std::to_string(e.Dims());
    }
    for (uint32_t d = 0; d < a.Dims(); ++d) {
        if (a.Bound(d).lLbound != e.Bound(d).lLbound ||
            a.Bound(d).cElements != e.Bound(d).cElements) {
            return "bounds " + Shape(a) + ", expected " + Shape(e);
        }
    }
    const uint32_t firstCount = a.Dims() > 0 ? a.Bound(0).cElements : 0;
    for (size_t i = 0; i < a.Count(); ++i) {
        Variant x = a.ElementAt(i), y = e.ElementAt(i);
        if (Close(x, y, tolerance, &numbers)) continue;
        // Storage runs over the first index fastest.
        std::string index = std::to_string(int64_t{a.Bound(0).lLbound} + i % firstCount);
        if (a.Dims() == 2) {
            index += ", " + std::to_string(int64_t{a.Bound(1).lLbound} + i / firstCount);
        }
        return "at (" + index + "): " + FormatValue(x) + ", expected " + FormatValue(y) +
               (numbers ? "" : " (not numbers)");
    }
    return {};
}
