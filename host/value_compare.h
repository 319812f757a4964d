#pragma once
// The approximate comparison of `expect OBJ.MEMBER ~= VALUE TOL`.
#include <string>

#include "platform/variant.h"

// Empty when `actual` is within `tolerance` of `expected`, otherwise why not.
// Numbers of any kinds that convert to doubles compare by value (NaN is
// within anything of NaN). Arrays hold when both are arrays with the same
// number of dimensions, the same lower bounds and counts, and every element
// is a number within `tolerance` of the expected one (the element kinds need
// not match); the reason then names the first index that differs, e.g.
// "at (1, 0): r8 4.5, expected i4 4". An array against a scalar never holds.
std::string ApproximateMismatch(const Variant& actual, const Variant& expected, double tolerance);
