#include "blocks/array/slice.h"

namespace {

// Step of a type on the numeric ladder; -1 off the ladder.
int LadderStep(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 0;
        case VT_I2:
        case VT_UI2:
        case VT_INT:
        case VT_UINT:
            return 1;
        case VT_I4:
        case VT_UI4:
            return 2;
        case VT_R4:
            return 3;
        case VT_R8:
            return 4;
        default:
            return -1;
    }
}

// The one-dimensional array a value holds, or null.
const SafeArray* VectorOf(const Variant& value) {
    const SafeArray* array = ArrayOf(value);
    return array && array->Dims() == 1 ? array : nullptr;
}

}  // namespace

VARTYPE ConcatElementType(VARTYPE first, VARTYPE second) {
    if (first == second) return first;
    const int a = LadderStep(first), b = LadderStep(second);
    if (a >= 0 && b >= 0) return b > a ? second : first;
    // Currency and decimal convert to and from doubles and bytes without
    // surprises; other types off the ladder join only themselves.
    if (first == VT_CY || first == VT_DECIMAL) {
        if (second == VT_R8) return VT_R8;
        if (b == 0) return first;
    }
    return VT_EMPTY;
}

HRESULT ConcatArrays(const Variant& first, const Variant& second, Variant* out) {
    const SafeArray* a = VectorOf(first);
    const SafeArray* b = VectorOf(second);
    if (!a || !b) return TYPE_E_TYPEMISMATCH;
    const VARTYPE type = ConcatElementType(a->ElementType(), b->ElementType());
    if (type == VT_EMPTY) return TYPE_E_TYPEMISMATCH;
    const size_t n1 = a->Count(), n2 = b->Count();
    // Elements that need no conversion overwrite every position.
    const Reuse reuse = a->ElementType() == type && b->ElementType() == type ? Reuse::WillOverwrite
                                                                             : Reuse::ZeroFill;
    SafeArrayPtr joined = RecreateBlockVector(*out, type, 0, static_cast<int64_t>(n1 + n2), reuse);
    if (!joined) return E_OUTOFMEMORY;
    CopyElements(*a, {}, *joined, {}, n1);
    CopyElements(*b, {}, *joined, {.offset = n1}, n2);
    *out = Variant::Array(std::move(joined));
    return S_OK;
}

HRESULT ExtractRange(const Variant& input, int32_t number, int32_t& start, int32_t& end,
                     Variant* out) {
    const SafeArray* array = ArrayOf(input);
    if (!array) return TYPE_E_TYPEMISMATCH;
    const bool rows = array->Dims() >= 2;
    if (number < 0 || (!rows && number > 1) || (rows && !InBounds(array->Bound(0), number))) {
        return ERROR_INVALID_DATA_HR;
    }
    if (start >= end) return ERROR_INVALID_DATA_HR;
    const SAFEARRAYBOUND& last = array->Bound(array->Dims() - 1);
    // Both limits fit 32 bits: the platform keeps every index of a dimension there.
    if (start < last.lLbound) start = last.lLbound;
    if (end > UpperIndex(last)) end = static_cast<int32_t>(UpperIndex(last));
    SafeArrayPtr range = RecreateBlockVector(
        *out, array->ElementType(), 0, int64_t{end} - int64_t{start} + 1, Reuse::WillOverwrite);
    if (!range) return E_OUTOFMEMORY;
    if (range->Count() > 0) {
        const size_t stride = rows ? array->Bound(0).cElements : 1;
        const int64_t first = ElementOffset(*array, number, start);
        CopyElements(*array, {.offset = static_cast<size_t>(first), .step = stride}, *range, {},
                     range->Count());
    }
    *out = Variant::Array(std::move(range));
    return S_OK;
}

// --- OVConcatArray ------------------------------------------------------------

COVConcatArrayCtrl::COVConcatArrayCtrl() : CArrayOutputBlock(3) {}

const DispatchTable& COVConcatArrayCtrl::ConcatArrayMembers() {
    using C = COVConcatArrayCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputArray1, &C::SetInputArray1>("InputArray1", 1, "First array")
                .Input(2)
                .Reset<&C::InputArray1>({}),
            Property<&C::GetInputArray2, &C::SetInputArray2>("InputArray2", 2,
                                                             "Array appended to the first")
                .Input(3)
                .Reset<&C::InputArray2>({}),
            Property<&C::GetOutputArray, &C::SetOutputArray>("OutputArray", 3, "The joined array")
                .HiddenPut(),
            Method<&C::Operate>("Operate", 4, "Joins the arrays at once"),
        });
    return table;
}

void COVConcatArrayCtrl::Compute() {
    ClearStatus();
    m_lStatusCode = ConcatArrays(InputArray1, InputArray2, &OutputArray);
    FireResults(this);
}

// --- OVSubArray ---------------------------------------------------------------

COVSubArrayCtrl::COVSubArrayCtrl() : CArrayOutputBlock(5) {}

const DispatchTable& COVSubArrayCtrl::SubArrayMembers() {
    using C = COVSubArrayCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputArray, &C::SetInputArray>("InputArray", 1, "Array to cut from")
                .Input(2)
                .Reset<&C::InputArray>({}),
            Property<&C::GetStartIndex, &C::SetStartIndex>("StartIndex", 2,
                                                           "First index of the range")
                .Input(3)
                .Persist<&C::m_lStartIndex>("StartIndex", {VT_I4, 0})
                .Reset<&C::m_lStartIndex>({VT_I4, 0}),
            Property<&C::GetEndIndex, &C::SetEndIndex>("EndIndex", 3, "Last index of the range")
                .Input(4)
                .Persist<&C::m_lEndIndex>("EndIndex", {VT_I4, 1})
                .Reset<&C::m_lEndIndex>({VT_I4, 1}),
            Property<&C::GetArrayNumber, &C::SetArrayNumber>(
                "ArrayNumber", 4, "Row (first index) of a two-dimensional array")
                .Input(5)
                .Persist<&C::m_lArrayNumber>("ArrayNumber", {VT_I4, 0})
                .Reset<&C::m_lArrayNumber>({VT_I4, 0}),
            Property<&C::GetOutputArray, &C::SetOutputArray>("OutputArray", 5,
                                                             "The extracted range")
                .HiddenPut(),
            Method<&C::Operate>("Operate", 6, "Extracts the range at once"),
        });
    return table;
}

void COVSubArrayCtrl::Compute() {
    ClearStatus();
    m_lStatusCode =
        ExtractRange(InputArray, m_lArrayNumber, m_lStartIndex, m_lEndIndex, &OutputArray);
    FireResults(this);
}
