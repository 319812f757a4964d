#pragma once
// Typed value text: how the host prints and reads values and how property-bag
// files store them. Printed text reads back to the same value, bit for bit.
//
// Scalars are a kind name and a payload:
//   empty  null  i1 -3  ui1 200  i2 5  ui2 5  i4 5  ui4 5  i8 5  ui8 5  int 5  uint 5
//   r4 1.5  r8 2.5  date 45000.5  cy 1.25  decimal 1.250  bool true  bool false  bool 1
//   bstr "text"  error 0x80020004  dispatch NAME  dispatch nothing
// - r4, r8 and date print the shortest decimal that reads back to the same
//   number (`r8 0.1`, `r8 1e+300`, `r8 -0`), plus `inf`, `-inf`, `nan` (the
//   default quiet NaN), `-nan` (the same with the sign bit set) and, for any
//   other NaN, `nan:0x` and the whole bit pattern in hex (`r8 nan:0x7FF8000000000001`,
//   `r4 nan:0xFFC00001`), sign included.
// - cy prints its exact value with at most four decimals; decimal prints
//   exactly `scale` decimals, so 1.25 and 1.250 stay different values.
// - bool prints true for -1, false for 0 and the raw 16-bit number otherwise.
// - bstr is quoted with the escapes \" \\ \n \t \r and \xHH (exactly two hex
//   digits) for the other control bytes; bytes from 0x80 pass through as they
//   are, so any byte string (embedded NUL, invalid UTF-8) survives.
// - error prints 0x and eight hex digits.
//
// Arrays are the element kind, lower bounds after `@` when one is not 0, and a
// list of elements printed without the kind name:
//   r8[1.5, 2.5]   r8@5[1, 2]   bstr["a", "b"]   variant[i4 1, bstr "x"]
// Two dimensions are a list of rows, the outer list running over the first
// index: `r8[[1, 2, 3], [4, 5, 6]]` is 2 by 3 with element (1, 0) = 4, and
// `r8@1,3[[1, 2], [3, 4]]` has the bounds 1..2 and 3..4. A two-dimensional
// array without rows cannot show its shape in the list, so it prints its counts
// in parentheses: `r8(0,4)[]` (no rows, 4 columns). Reading also accepts the
// counts on any array, where they must agree with the list.
// An array of variants may hold arrays, but not arrays of variants: one level
// of nesting, as deep as the array model goes.
#include <functional>
#include <string>
#include <string_view>

#include "platform/com.h"
#include "platform/variant.h"

// Names an object for printing (the host's script name for a block).
using DispatchNamer = std::function<std::string(IDispatch*)>;
// Finds the object a printed name stands for; null when there is none.
using DispatchResolver = std::function<ComPtr<IDispatch>(std::string_view)>;

// The typed text of `v`. Dispatch values print the namer's name, `?` without a
// namer (or for an empty name) and `nothing` for a null reference. Never fails.
std::string FormatValue(const Variant& v, const DispatchNamer& names = {});

// Reads one typed value; blanks around it are allowed, anything else after it
// is not. Besides the printed forms it reads untyped shorthands: an integer is
// i4 (r8 when it does not fit 32 bits), a number with a point or an exponent is
// r8, as are nan, -nan, inf and -inf; "x" is bstr; true and false are bool.
// `dispatch NAME` asks `resolve` (which may be empty) for NAME and fails when it
// gives null; `dispatch nothing` is a null reference.
// On failure returns false, leaves *out unchanged and, when `error` is not null,
// stores a message naming what was expected and the 1-based byte column, e.g.
// "column 4: expected a number for r8 (2.5, 1e-3, inf, nan), found 'abc'".
// Never reads outside `text`; nesting is bounded as described above.
bool ParseValue(std::string_view text, Variant* out, std::string* error,
                const DispatchResolver& resolve = {});

// Whether FormatValue's text of `v`, read by ParseValue without a resolver,
// gives back a value equal to `v`. False for dispatch values (even a null one:
// what they stand for lives outside the text), for decimals that are not well
// formed (scale above 28, a sign byte other than 0 or DECIMAL_NEG, reserved
// bits set) and for arrays of variants nested inside arrays of variants, also
// when such values sit inside an array of variants.
bool HasExactText(const Variant& v);
