#pragma once
// The array rules every block that reads or builds arrays shares (the array
// blocks and the signal blocks), over the platform's SafeArray:
//
// - An array value is a Variant holding a SafeArray of one element type with
//   one or two dimensions; each dimension has a signed 32-bit lower bound and a
//   count, valid indices run from the lower bound to lower bound + count - 1,
//   and the first index runs fastest in storage. In a two-dimensional array the
//   first index is the array number (the row), the second the array index.
// - Elements are stored and fetched only in the sixteen storable element types
//   (IsStorableElementType); a value enters an array converted to the array's
//   element type by VariantChangeType, and a failed conversion is the caller's
//   type mismatch (TYPE_E_TYPEMISMATCH).
// - Index arithmetic is done in 64 bits, so bounds and counts at the limits of
//   32 bits (INT32_MIN, INT32_MAX) are refused or reported, never wrapped.
// - Every array a block creates or grows goes through CreateBlockArray or
//   ResizeBlockArray, which refuse a request larger than the memory budget
//   (ArrayByteLimit, half of the machine's memory by default): zero-filling such an array would
//   take the host down before the block could report anything.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/safearray.h"

// The array a value holds, when it holds one with at least one dimension; null
// for scalars, empty values and dimensionless arrays.
const SafeArray* ArrayOf(const Variant& value);
SafeArray* ArrayOf(Variant& value);

// Highest valid index of a dimension; lower bound - 1 for an empty one.
int64_t UpperIndex(const SAFEARRAYBOUND& bound);
// Whether `index` names an element of the dimension (signed comparison).
bool InBounds(const SAFEARRAYBOUND& bound, int64_t index);

// One dimension of an array to create, in 64 bits so that callers can pass
// arithmetic on 32-bit indices without overflow checks of their own.
struct ArrayExtent {
    int64_t lowerBound = 0;
    int64_t count = 0;
};

// Bytes one element of `vt` takes in storage (strings: the string object alone).
size_t ElementBytes(VARTYPE vt);
// The memory budget for any one array a block allocates (its input validity
// table included), in bytes; half of the machine's memory by default. A host
// that shares its process with other work, or runs under a memory limit of its
// own, lowers it so that an oversized request is reported as E_OUTOFMEMORY
// instead of taking the process down. 0 restores the default. It may be set
// at any time; an allocation already made is not affected.
size_t ArrayByteLimit();
void SetArrayByteLimit(size_t bytes);

// Creates a zero-filled array of `vt` with one or two dimensions. Null when the
// type cannot form an array (only the storable types and VT_VARIANT can), a
// count is negative or above 32 bits, a lower bound or upper index is not a
// 32-bit integer, the array would exceed the memory budget, or memory runs out.
// Blocks report a null result as E_OUTOFMEMORY.
SafeArrayPtr CreateBlockArray(VARTYPE vt, std::initializer_list<ArrayExtent> extents);
// The one-dimensional case.
SafeArrayPtr CreateBlockVector(VARTYPE vt, int64_t lowerBound, int64_t count);

// CreateBlockVector for an output a block rebuilds on every run. When
// `previous` holds an array of exactly this type and shape, its storage is
// taken over instead of being freed and allocated anew (which hands large
// arrays back to the system, to be faulted in again page by page); it is
// zero-filled unless the caller will overwrite every element. `previous` is
// left empty either way.
enum class Reuse { ZeroFill, WillOverwrite };
SafeArrayPtr RecreateBlockVector(Variant& previous, VARTYPE vt, int64_t lowerBound, int64_t count,
                                 Reuse reuse);

// Gives the last dimension a new lower bound and count with the platform's
// resize rules (storage order kept, a lowered lower bound renumbers, added
// elements zero). E_INVALIDARG for a negative count or bounds outside 32 bits,
// E_OUTOFMEMORY over the memory budget or when growth fails; the array is then
// unchanged. Growth one element at a time is amortised O(1).
HRESULT ResizeBlockArray(SafeArray& array, int64_t lowerBound, int64_t count);

// Converts `value` in place into an array's element type (VariantChangeType,
// flags 0). Returns the conversion's result; on failure `value` is unchanged.
// Nothing converts into an array of variants: variants are not storable.
HRESULT ConvertToElement(Variant& value, VARTYPE elementType);

// Whether `vt` is an element type that arrays may have but that no array here
// holds: object references and 64-bit integers, which are never stored in an
// array anyway. A block that would begin an array of such a type goes on as if
// it held one that received nothing, rather than reporting a failed creation.
bool IsUnheldElementType(VARTYPE vt);

// Storage offset of (row, index) in a two-dimensional array, or of (index) in a
// one-dimensional one (`row` ignored); -1 outside the bounds.
int64_t ElementOffset(const SafeArray& array, int32_t row, int32_t index);

// Where a copy reads or writes: element i of run r is at storage offset
// offset + r * runStep + i * step.
struct ElementWalk {
    size_t offset = 0;
    size_t step = 1;
    size_t runStep = 0;
};

// Copies `runs` runs of `count` elements from `src` to `dst`. Equal element
// types copy directly (strings deep); otherwise each element is converted into
// dst's type and one that does not convert is skipped, leaving its target as
// it was. Returns the number of elements stored. Every offset walked must lie
// inside its array (callers derive them from the bounds).
size_t CopyElements(const SafeArray& src, ElementWalk from, SafeArray& dst, ElementWalk to,
                    size_t count, size_t runs = 1);

// --- bulk numeric access for the analysis blocks ----------------------------

// Element types that read as numbers: the integer types, 4- and 8-byte floats.
bool IsNumericElementType(VARTYPE vt);
bool IsFloatElementType(VARTYPE vt);          // VT_R4, VT_R8
bool IsNumericOrTextElementType(VARTYPE vt);  // numeric or VT_BSTR

// What a bulk read does with an element that does not convert (a string that is
// not wholly a number, a number out of range).
enum class BadElement { Fail, Skip };

// How an element becomes a number.
// - Checked: by VariantChangeType into T's float kind; a string converts as
//   that does, a double beyond float's range does not convert.
// - Rounding: numbers by a plain cast (a double beyond float's range becomes an
//   infinity); a string only when all of it is a decimal number, leading blanks
//   allowed and nothing after it.
enum class NumberConversion { Checked, Rounding };

// Converts one element (not an array) to T (float or double) under `conversion`.
// False, *out unchanged, when it does not convert.
template <class T>
bool ElementToNumber(const Variant& element, NumberConversion conversion, T* out);

// Reads `count` elements of `array` along `walk` (one run) as T (float or
// double) into *out (replacing it). `accepts` decides which element types may
// be read at all; strings are accepted by passing a predicate that admits
// VT_BSTR, and in an array of variants each element's own type must pass it
// too (otherwise it is a bad element). TYPE_E_TYPEMISMATCH for an element type
// `accepts` refuses, or (BadElement::Fail) an element that does not convert;
// E_OUTOFMEMORY when *out cannot grow. On a failure *out holds the elements
// read before it. Every offset walked must lie inside the array.
template <class T>
HRESULT ReadNumbers(const SafeArray& array, ElementWalk walk, size_t count,
                    bool (*accepts)(VARTYPE), BadElement onBad, std::vector<T>* out,
                    NumberConversion conversion = NumberConversion::Checked);
// Every element of `array` in storage order.
template <class T>
HRESULT ReadNumbers(const SafeArray& array, bool (*accepts)(VARTYPE), BadElement onBad,
                    std::vector<T>* out, NumberConversion conversion = NumberConversion::Checked);
// The common case: `value` must be a one-dimensional array of a numeric element
// type or of strings, every element converting; TYPE_E_TYPEMISMATCH otherwise.
template <class T>
HRESULT ReadNumericVector(const Variant& value, std::vector<T>* out);

// Makes *out a one-dimensional array of 4-byte floats (float) or 8-byte floats
// (double) with the given lower bound holding `values`. E_OUTOFMEMORY (and
// *out unchanged) when it cannot be created.
template <class T>
HRESULT MakeNumericVector(std::span<const T> values, int32_t lowerBound, Variant* out);
