#pragma once
// OVGetElement fetches one element of an array, OVSetElement writes one,
// creating the array when there is none and growing it when allowed.
#include <cstdint>

#include "blocks/array/array_block.h"

// The element at `index` of a one-dimensional array, or at (`number`, `index`)
// of a two-dimensional one, copied into *element. TYPE_E_TYPEMISMATCH when
// `array` holds no array (*element unchanged) or its element type is not
// storable (*element emptied); TYPE_E_OUTOFBOUNDS when `number` (two
// dimensions only) or `index` lies outside its dimension (*element unchanged).
HRESULT FetchElement(const Variant& array, int32_t number, int32_t index, Variant* element);

// Stores `element` at `index` of the one-dimensional array in `array`.
// Without an array, one of the element's type is created with bounds
// 0 .. index. `element` is converted in place to the array's element type. An
// index outside the bounds grows the array when `grow` is set: the lower bound
// drops to `index` if it is below (keeping the count, so the elements are
// renumbered), and the count grows to reach `index` if it is above.
// TYPE_E_TYPEMISMATCH for an empty or unconvertible element, an element type
// that is not storable, or an array of two dimensions; TYPE_E_OUTOFBOUNDS for
// an index outside the bounds without `grow`; E_OUTOFMEMORY when the array
// cannot be created or grown. A failure leaves a held array as it was.
HRESULT StoreElement(Variant& array, int32_t index, Variant& element, bool grow);

constexpr int32_t GETELEMENT_HELP_CONTEXT = 57;
constexpr int32_t SETELEMENT_HELP_CONTEXT = 64;

class COVGetElementCtrl : public CArrayBlock {
  public:
    COVGetElementCtrl();

    static const DispatchTable& GetElementMembers();
    static constexpr ControlClass kClass{&GetElementMembers, &BaseEvents, GETELEMENT_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetArray() const { return Array; }
    void SetArray(const Variant& value) { PutInput(1, Array, value); }
    int32_t GetArrayIndex() const { return m_lArrayIndex; }
    void SetArrayIndex(int32_t value) { PutInput(2, m_lArrayIndex, value); }
    Variant GetElement() const { return Element; }
    void SetElement(const Variant& value) { PutSetting(Element, value); }
    int32_t GetArrayNumber() const { return m_lArrayNumber; }
    void SetArrayNumber(int32_t value) { PutInput(4, m_lArrayNumber, value); }
    Variant Operate();

  protected:
    void Compute() override;

  private:
    Variant Array;
    int32_t m_lArrayIndex = 0;
    int32_t m_lArrayNumber = 0;
    Variant Element;
};

class COVSetElementCtrl : public CArrayBlock {
  public:
    COVSetElementCtrl();

    static const DispatchTable& SetElementMembers();
    static constexpr ControlClass kClass{&SetElementMembers, &BaseEvents, SETELEMENT_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    int32_t GetArrayIndex() const { return m_lArrayIndex; }
    void SetArrayIndex(int32_t value) { PutInput(1, m_lArrayIndex, value); }
    Variant GetElement() const { return Element; }
    void SetElement(const Variant& value) { PutInput(2, Element, value); }
    Variant GetArray() const { return Array; }
    void SetArray(const Variant& value) { PutInput(3, Array, value); }
    bool GetGrowArray() const { return m_bGrowArray != FALSE; }
    void SetGrowArray(bool value) { PutInput(4, m_bGrowArray, BOOL{value}); }
    void SetClearArray(const Variant&) { ClearAndReport(Array); }
    Variant Operate();

  protected:
    // Stores into the array held in Array, so a run without a new Array
    // writes into the result of the previous one.
    void Compute() override;

  private:
    int32_t m_lArrayIndex = 0;
    Variant Element;
    Variant Array;
    BOOL m_bGrowArray = TRUE;
};
