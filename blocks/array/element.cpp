#include "blocks/array/element.h"

#include <algorithm>

HRESULT FetchElement(const Variant& array, int32_t number, int32_t index, Variant* element) {
    const SafeArray* held = ArrayOf(array);
    if (!held) return TYPE_E_TYPEMISMATCH;
    const int64_t offset = ElementOffset(*held, number, index);
    if (offset < 0) return TYPE_E_OUTOFBOUNDS;
    element->Clear();
    if (!IsStorableElementType(held->ElementType())) return TYPE_E_TYPEMISMATCH;
    *element = held->ElementAt(static_cast<size_t>(offset));
    return S_OK;
}

HRESULT StoreElement(Variant& array, int32_t index, Variant& element, bool grow) {
    if (element.IsEmpty()) return TYPE_E_TYPEMISMATCH;
    if (!ArrayOf(array)) {
        if (IsUnheldElementType(element.vt())) return TYPE_E_TYPEMISMATCH;
        SafeArrayPtr created = CreateBlockVector(element.vt(), 0, int64_t{index} + 1);
        if (!created) return E_OUTOFMEMORY;
        array = Variant::Array(std::move(created));
    }
    SafeArray& held = *ArrayOf(array);
    if (held.Dims() != 1) return TYPE_E_TYPEMISMATCH;
    if (FAILED(ConvertToElement(element, held.ElementType()))) return TYPE_E_TYPEMISMATCH;
    const SAFEARRAYBOUND bound = held.Bound(0);
    if (!InBounds(bound, index)) {
        if (!grow) return TYPE_E_OUTOFBOUNDS;
        const int64_t lower = std::min<int64_t>(bound.lLbound, index);
        const int64_t count = std::max<int64_t>(int64_t{index} - lower + 1, bound.cElements);
        if (FAILED(ResizeBlockArray(held, lower, count))) return E_OUTOFMEMORY;
    }
    if (!IsStorableElementType(element.vt())) return TYPE_E_TYPEMISMATCH;
    SafeArrayPutElement(&held, &index, element);
    return S_OK;
}

// --- OVGetElement -------------------------------------------------------------

COVGetElementCtrl::COVGetElementCtrl() : CArrayBlock(4) {}

const DispatchTable& COVGetElementCtrl::GetElementMembers() {
    using C = COVGetElementCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetArray, &C::SetArray>("Array", 1, "Array to read from")
                .Input(2)
                .Reset<&C::Array>({}),
            Property<&C::GetArrayIndex, &C::SetArrayIndex>("ArrayIndex", 2, "Index of the element")
                .Input(3)
                .Persist<&C::m_lArrayIndex>("ArrayIndex", {VT_I4, 0})
                .Reset<&C::m_lArrayIndex>({VT_I4, 0}),
            Property<&C::GetElement, &C::SetElement>("Element", 3, "The element read")
                .HiddenPut()
                .Reset<&C::Element>({}),
            Property<&C::GetArrayNumber, &C::SetArrayNumber>(
                "ArrayNumber", 4, "Array number (first index) of a two-dimensional array")
                .Input(4)
                .Persist<&C::m_lArrayNumber>("ArrayNumber", {VT_I4, 0})
                .Reset<&C::m_lArrayNumber>({VT_I4, 0}),
            Method<&C::Operate>("Operate", 5, "Reads the element at once"),
        });
    return table;
}

Variant COVGetElementCtrl::Operate() {
    Compute();
    return Element;
}

void COVGetElementCtrl::Compute() {
    ClearStatus();
    m_lStatusCode = FetchElement(Array, m_lArrayNumber, m_lArrayIndex, &Element);
    FireResults(this);
}

// --- OVSetElement -------------------------------------------------------------

COVSetElementCtrl::COVSetElementCtrl() : CArrayBlock(5) {}

const DispatchTable& COVSetElementCtrl::SetElementMembers() {
    using C = COVSetElementCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetArrayIndex, &C::SetArrayIndex>("ArrayIndex", 1, "Index to write at")
                .Input(2)
                .Persist<&C::m_lArrayIndex>("ArrayIndex", {VT_I4, 0})
                .Reset<&C::m_lArrayIndex>({VT_I4, 0}),
            Property<&C::GetElement, &C::SetElement>("Element", 2, "Value to write")
                .Input(3)
                .Reset<&C::Element>({}),
            Property<&C::GetArray, &C::SetArray>("Array", 3, "Array to write into; the result")
                .Input(4)
                .Reset<&C::Array>({}),
            Property<&C::GetGrowArray, &C::SetGrowArray>(
                "GrowArray", 4, "True: an index outside the array enlarges it")
                .Input(5)
                .Persist<&C::m_bGrowArray>("GrowArray", {VT_BOOL, 1})
                .Reset<&C::m_bGrowArray>({VT_BOOL, 1}),
            WriteOnly<&C::SetClearArray>("ClearArray", 5, "Empties the array"),
            Method<&C::Operate>("Operate", 6, "Writes the element at once"),
        });
    return table;
}

Variant COVSetElementCtrl::Operate() {
    Compute();
    return Array;
}

void COVSetElementCtrl::Compute() {
    ClearStatus();
    m_lStatusCode = StoreElement(Array, m_lArrayIndex, Element, m_bGrowArray != FALSE);
    FireResults(this);
}
