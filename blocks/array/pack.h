#pragma once
// OVPack stacks one-dimensional arrays (or single values) arriving one at a
// time into the rows of a two-dimensional array: each becomes the row at the
// current row number, which then moves on. OVUnpack takes one row back out.
// Rows are the first index (the array number), a row's elements the second.
#include <cstdint>

#include "blocks/array/array_block.h"

// The rows an OVPack has packed. They are kept row by row (each row's
// elements contiguous, the row number as the last dimension), so that adding
// a row grows the storage in place, amortised O(1), where the packed layout
// (first index fastest) would have to be rebuilt for every new row; the packed
// array is made when it is read.
class PackedRows {
  public:
    // Stores `row` (a one-dimensional array keeping its own index range, or a
    // single value at index 0) as row `currentRow`, then moves `currentRow` on.
    // Without packed rows an array of the row's type is begun with rows
    // 0 .. currentRow. A row that does not fit enlarges the array to cover both
    // the old rows and index range and the new ones, every old element keeping
    // its (row, index). A row below the first row (of an array a host put)
    // has no place: nothing is stored, and `currentRow` still moves on.
    // Dropped silently (S_OK, nothing changes): an empty or null `row`, a
    // negative `currentRow`, an array that is not one-dimensional, a row type
    // that does not convert to the packed type (tested on its zero) or that
    // would begin an array of a type no array here holds (IsUnheldElementType).
    // Single elements that do not convert are skipped.
    // E_OUTOFMEMORY when the array cannot be created or enlarged.
    HRESULT Pack(const Variant& row, int32_t& currentRow);
    // Takes what a host put: a two-dimensional array becomes the packed rows;
    // anything else is kept to be read back, and the next row begins anew.
    void Assign(const Variant& value);
    void Clear();
    // Forgets a kept value that is not an array.
    void DropNonArray();
    // The packed two-dimensional array (a new copy), or the value a host put;
    // empty when the copy cannot be made.
    Variant Value() const;

  private:
    SafeArrayPtr rows_;  // dimensions (index, row)
    Variant other_;
};

// *out := row `number` of the two-dimensional `packed`, keeping the row's index
// range. TYPE_E_TYPEMISMATCH when `packed` is not an array of two dimensions,
// ERROR_INVALID_DATA_HR when `number` is outside its rows (*out unchanged),
// E_OUTOFMEMORY when the row cannot be created (*out then empty).
HRESULT UnpackRow(const Variant& packed, int32_t number, Variant* out);

constexpr int32_t PACK_HELP_CONTEXT = 62;
constexpr int32_t UNPACK_HELP_CONTEXT = 68;

class COVPackCtrl : public CCollectingBlock {
  public:
    COVPackCtrl();

    static const DispatchTable& PackMembers();
    static constexpr ControlClass kClass{&PackMembers, &BaseEvents, PACK_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputArray() const { return InputArray; }
    // Packs the value at once, then marks InputArray valid (which may run the block).
    void SetInputArray(const Variant& value);
    // Reads the current row; a put moves both the current and the start row.
    int32_t GetArrayNumber() const { return m_lCurrent; }
    void SetArrayNumber(int32_t row);
    Variant GetArray() const { return m_packed.Value(); }
    void SetArray(const Variant& value);
    void SetClearArray(const Variant& any);
    Variant Operate();

  protected:
    // Hands the array out; with ClearOnOutput the next input starts a new one.
    void Compute() override;
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

  private:
    Variant InputArray;
    PackedRows m_packed;  // Array
};

class COVUnpackCtrl : public CArrayOutputBlock {
  public:
    COVUnpackCtrl();

    static const DispatchTable& UnpackMembers();
    static constexpr ControlClass kClass{&UnpackMembers, &BaseEvents, UNPACK_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputArray() const { return InputArray; }
    void SetInputArray(const Variant& value) { PutInput(1, InputArray, value); }
    int32_t GetArrayNumber() const { return m_lArrayNumber; }
    void SetArrayNumber(int32_t value) { PutInput(2, m_lArrayNumber, value); }

  protected:
    void Compute() override;

  private:
    Variant InputArray;
    int32_t m_lArrayNumber = 0;
};
