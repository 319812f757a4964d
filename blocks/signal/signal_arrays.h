#pragma once
// Reading and writing the arrays of the signal blocks: numbers out of a
// one-dimensional array of any numeric or text element kind, and new arrays of
// 8-byte floats for the outputs. Plain functions on values; the blocks decide
// what a failure means for their run.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/safearray.h"

// The most elements a signal block allocates for one output. Bigger requests
// (an ArraySize or a bin count of a billion) are refused as out of memory
// instead of taking the machine's memory.
constexpr size_t kMaxSignalElements = size_t{1} << 24;

// A one-dimensional array read as 4-byte floats.
struct FloatReading {
    int32_t status = 0;  // 0 or TYPE_E_TYPEMISMATCH
    size_t read = 0;     // elements converted before a failure (all on success)
};

// Reads `value`, which must hold an array with exactly one dimension, into
// `out` (resized to its element count), element by element from the lower
// bound: integer kinds (I1, UI1, I2, UI2, I4, UI4, INT, UINT) by their value
// rounded to float, R4 as is, R8 rounded to float, strings parsed as a decimal
// number (leading blanks allowed, nothing after it). TYPE_E_TYPEMISMATCH for a
// value that is not such an array, any other element kind, or a string that
// is not wholly a number; `read` then counts the elements converted before it.
FloatReading ReadFloatArray(const Variant& value, std::vector<float>& out);

// Appends the numbers `value` carries to `out` as 8-byte floats: an integer
// kind, R4, R8, or a string that VariantChangeType turns into a double; an
// array of one dimension contributes each such element from its lower bound
// up. Other kinds, and strings that do not convert, are skipped. Returns
// false, appending nothing, for an array of two or more dimensions.
bool AppendDoubles(const Variant& value, std::vector<double>& out);

// A new two-dimensional array of 8-byte floats with bounds (0..rows-1,
// 0..columns-1), zero-filled; null when it cannot be created or would exceed
// kMaxSignalElements. `data` points at its storage (first index fastest).
SafeArrayPtr MakeDoubleMatrix(uint32_t rows, uint32_t columns, std::span<double>* data);
