#pragma once
// SVG charts of array values, written with the standard library alone: a
// one-dimensional array as a line over its indices, a two-dimensional array
// of two rows (a histogram: lower bin edges in row 0, counts in row 1) as
// bars. Both get axes with tick labels and a title.
#include <iosfwd>
#include <string>

#include "platform/variant.h"

// Writes the chart of `value` to `out`. False with `*error` set for a value
// that is no plottable array: not an array, no elements, a two-dimensional
// array whose first dimension is not 2, or elements that are not numbers.
// Points that are NaN or infinite are left out (the line breaks there).
bool WritePlotSvg(const Variant& value, const std::string& title, std::ostream& out,
                  std::string* error);
