#pragma once
// OVConcatArray joins two one-dimensional arrays; OVSubArray copies a range of
// one array, or of one row of a two-dimensional array. Both build a new
// one-dimensional array with lower bound 0.
#include <cstdint>

#include "blocks/array/array_block.h"

// The element type of the concatenation of arrays of `first` and `second`:
// the type itself when they are equal; for two types of the numeric ladder
// byte (I1, UI1) < word (I2, UI2, INT, UINT) < long (I4, UI4) < single (R4) <
// double (R8) the higher step, `first` on the same step; a currency or
// decimal `first` goes with a double `second` as double and with a byte type
// as itself. VT_EMPTY for any other pair (dates, strings and Booleans only
// join their own type).
VARTYPE ConcatElementType(VARTYPE first, VARTYPE second);

// *out := the elements of `first` then those of `second`, in index order, as
// one array of ConcatElementType with lower bound 0; an element that does not
// convert stays zero. TYPE_E_TYPEMISMATCH when an input is not a
// one-dimensional array or the types do not join (*out unchanged);
// E_OUTOFMEMORY when the result cannot be created (*out then empty).
HRESULT ConcatArrays(const Variant& first, const Variant& second, Variant* out);

// *out := elements `start` .. `end` of `input` (for two dimensions: of row
// `number`) as an array of the input's element type with lower bound 0.
// ERROR_INVALID_DATA_HR when `number` is negative, above 1 for a
// one-dimensional input or outside the rows of a two-dimensional one, or when
// `start` >= `end` (*out unchanged); TYPE_E_TYPEMISMATCH when `input` is no
// array. `start` and `end` are clamped into the last dimension's bounds (and
// keep the clamped values); a range clamped to nothing gives an empty array.
// E_OUTOFMEMORY when clamping leaves a negative count (the range lies
// beyond the array) or the result cannot be created (*out then empty).
HRESULT ExtractRange(const Variant& input, int32_t number, int32_t& start, int32_t& end,
                     Variant* out);

constexpr int32_t CONCATARRAY_HELP_CONTEXT = 54;
constexpr int32_t SUBARRAY_HELP_CONTEXT = 65;

class COVConcatArrayCtrl : public CArrayOutputBlock {
  public:
    COVConcatArrayCtrl();

    static const DispatchTable& ConcatArrayMembers();
    static constexpr ControlClass kClass{&ConcatArrayMembers, &BaseEvents,
                                         CONCATARRAY_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputArray1() const { return InputArray1; }
    void SetInputArray1(const Variant& value) { PutInput(1, InputArray1, value); }
    Variant GetInputArray2() const { return InputArray2; }
    void SetInputArray2(const Variant& value) { PutInput(2, InputArray2, value); }

  protected:
    void Compute() override;

  private:
    Variant InputArray1;
    Variant InputArray2;
};

class COVSubArrayCtrl : public CArrayOutputBlock {
  public:
    COVSubArrayCtrl();

    static const DispatchTable& SubArrayMembers();
    static constexpr ControlClass kClass{&SubArrayMembers, &BaseEvents, SUBARRAY_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputArray() const { return InputArray; }
    void SetInputArray(const Variant& value) { PutInput(1, InputArray, value); }
    int32_t GetStartIndex() const { return m_lStartIndex; }
    void SetStartIndex(int32_t value) { PutInput(2, m_lStartIndex, value); }
    int32_t GetEndIndex() const { return m_lEndIndex; }
    void SetEndIndex(int32_t value) { PutInput(3, m_lEndIndex, value); }
    int32_t GetArrayNumber() const { return m_lArrayNumber; }
    void SetArrayNumber(int32_t value) { PutInput(4, m_lArrayNumber, value); }

  protected:
    void Compute() override;

  private:
    Variant InputArray;
    int32_t m_lStartIndex = 0;
    int32_t m_lEndIndex = 1;
    int32_t m_lArrayNumber = 0;
};
