#include "blocks/array/pack.h"

#include <algorithm>

namespace {

bool IsNothing(const Variant& v) {
    return v.IsEmpty() || v.vt() == VT_NULL;
}

// Whether values of `from` can enter an array of `to`, judged by their zero.
bool PairConverts(VARTYPE from, VARTYPE to) {
    Variant zero;
    return SUCCEEDED(ConvertToElement(zero, from)) && SUCCEEDED(ConvertToElement(zero, to));
}

// The index range a row occupies.
struct RowRange {
    int64_t lower = 0;
    int64_t count = 1;
    int64_t Upper() const { return lower + count - 1; }
};

bool RangeInside(const SAFEARRAYBOUND& index, const RowRange& range) {
    return range.count == 0 || (range.lower >= index.lLbound && range.Upper() <= UpperIndex(index));
}

// Swaps the two dimensions of `array`: (a, b) becomes (b, a). Null when memory
// runs out.
SafeArrayPtr Transposed(const SafeArray& array) {
    const SAFEARRAYBOUND first = array.Bound(0), second = array.Bound(1);
    SafeArrayPtr swapped =
        CreateBlockArray(array.ElementType(),
                         {{second.lLbound, second.cElements}, {first.lLbound, first.cElements}});
    if (swapped) {
        CopyElements(array, {.step = first.cElements, .runStep = 1}, *swapped,
                     {.step = 1, .runStep = second.cElements}, second.cElements, first.cElements);
    }
    return swapped;
}

// A larger copy of the (index, row) storage `rows` that holds row `row` over
// `range`: rows from 0, indices spanning the old and the new range, every old
// element at its (row, index). Rows below 0 (only in an array a host put) are
// not kept.
SafeArrayPtr Enlarged(const SafeArray& rows, int32_t row, const RowRange& range) {
    const SAFEARRAYBOUND index = rows.Bound(0), rowBound = rows.Bound(1);
    const int64_t rowCount = std::max<int64_t>(int64_t{row} + 1, rowBound.cElements);
    int64_t lower = index.lLbound, upper = UpperIndex(index);
    if (range.count > 0) {
        lower = std::min(lower, range.lower);
        upper = std::max(upper, range.Upper());
    }
    const int64_t count = upper - lower + 1;
    SafeArrayPtr larger = CreateBlockArray(rows.ElementType(), {{lower, count}, {0, rowCount}});
    if (!larger) return nullptr;
    const int64_t firstRow = std::max<int64_t>(rowBound.lLbound, 0);
    const int64_t lastRow = std::min<int64_t>(UpperIndex(rowBound), rowCount - 1);
    if (firstRow <= lastRow) {
        const ElementWalk from{
            .offset = static_cast<size_t>((firstRow - rowBound.lLbound) * index.cElements),
            .runStep = index.cElements};
        const ElementWalk to{
            .offset = static_cast<size_t>(index.lLbound - lower + firstRow * count),
            .runStep = static_cast<size_t>(count)};
        CopyElements(rows, from, *larger, to, index.cElements,
                     static_cast<size_t>(lastRow - firstRow + 1));
    }
    return larger;
}

}  // namespace

HRESULT PackedRows::Pack(const Variant& row, int32_t& currentRow) {
    if (IsNothing(row) || currentRow < 0) return S_OK;
    const SafeArray* source = nullptr;
    if (row.IsArray()) {
        source = ArrayOf(row);
        if (!source || source->Dims() != 1) return S_OK;
    }
    const RowRange range =
        source ? RowRange{source->Bound(0).lLbound, source->Bound(0).cElements} : RowRange{};
    const VARTYPE rowType = source ? source->ElementType() : row.vt();
    if (!rows_) {
        if (IsUnheldElementType(rowType)) return S_OK;
        rows_ =
            CreateBlockArray(rowType, {{range.lower, range.count}, {0, int64_t{currentRow} + 1}});
        if (!rows_) return E_OUTOFMEMORY;
        other_.Clear();
    }
    const VARTYPE packedType = rows_->ElementType();
    if (rowType != packedType && !PairConverts(rowType, packedType)) return S_OK;
    const SAFEARRAYBOUND rowBound = rows_->Bound(1);
    // Only a row past the last one enlarges; a row below the first (of an
    // array a host put) has no place, and packs nothing.
    if (!RangeInside(rows_->Bound(0), range) || currentRow > UpperIndex(rowBound)) {
        if (RangeInside(rows_->Bound(0), range) && rowBound.lLbound == 0) {
            // Only rows are added: the last dimension grows in place.
            if (FAILED(ResizeBlockArray(*rows_, 0, int64_t{currentRow} + 1))) return E_OUTOFMEMORY;
        } else {
            SafeArrayPtr larger = Enlarged(*rows_, currentRow, range);
            if (!larger) return E_OUTOFMEMORY;
            rows_ = std::move(larger);
        }
    }
    if (range.count > 0 && InBounds(rows_->Bound(1), currentRow)) {
        const int32_t indices[] = {static_cast<int32_t>(range.lower), currentRow};
        const size_t first = static_cast<size_t>(rows_->Offset(indices));
        if (source) {
            CopyElements(*source, {}, *rows_, {.offset = first}, static_cast<size_t>(range.count));
        } else {
            Variant value = row;
            if (SUCCEEDED(ConvertToElement(value, packedType))) rows_->SetElementAt(first, value);
        }
    }
    // Past INT32_MAX the row wraps negative, and a negative row packs nothing.
    currentRow = static_cast<int32_t>(static_cast<uint32_t>(currentRow) + 1u);
    return S_OK;
}

void PackedRows::Assign(const Variant& value) {
    const SafeArray* array = ArrayOf(value);
    rows_ = array && array->Dims() == 2 ? Transposed(*array) : nullptr;
    other_ = rows_ ? Variant() : value;
}

void PackedRows::Clear() {
    rows_.reset();
    other_.Clear();
}

void PackedRows::DropNonArray() {
    if (!ArrayOf(other_)) other_.Clear();
}

Variant PackedRows::Value() const {
    if (!rows_) return other_;
    return Variant::Array(Transposed(*rows_));
}

HRESULT UnpackRow(const Variant& packed, int32_t number, Variant* out) {
    const SafeArray* array = ArrayOf(packed);
    if (!array || array->Dims() < 2) return TYPE_E_TYPEMISMATCH;
    if (!InBounds(array->Bound(0), number)) return ERROR_INVALID_DATA_HR;
    const SAFEARRAYBOUND& index = array->Bound(1);
    SafeArrayPtr row = RecreateBlockVector(*out, array->ElementType(), index.lLbound,
                                           index.cElements, Reuse::WillOverwrite);
    if (!row) return E_OUTOFMEMORY;
    const ElementWalk from{.offset = static_cast<size_t>(int64_t{number} - array->Bound(0).lLbound),
                           .step = array->Bound(0).cElements};
    CopyElements(*array, from, *row, {}, index.cElements);
    *out = Variant::Array(std::move(row));
    return S_OK;
}

// --- OVPack -------------------------------------------------------------------

COVPackCtrl::COVPackCtrl() : CCollectingBlock(3) {}

const DispatchTable& COVPackCtrl::PackMembers() {
    using C = COVPackCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputArray, &C::SetInputArray>("InputArray", 1,
                                                           "Array or value to pack as a row")
                .Input(2)
                .Reset<&C::InputArray>({}),
            Property<&C::GetArrayNumber, &C::SetArrayNumber>(
                "ArrayNumber", 2, "Row the next input goes to; a put starts there")
                .Input(3)
                .Persist<&C::m_lCurrent>("ArrayNumber", {VT_I4, 0}),
            Property<&C::GetArray, &C::SetArray>("Array", 3, "The packed two-dimensional array")
                .HiddenPut(),
            WriteOnly<&C::SetClearArray>("ClearArray", 4, "Empties the array"),
            Property<&C::GetClearOnOutput, &C::SetClearOnOutput>(
                "ClearOnOutput", 5, "True: a new array starts after each output")
                .Persist<&C::m_bClearOnOutput>("ClearOnOutput", {VT_BOOL, 1}),
            Method<&C::Operate>("Operate", 6, "Outputs the packed array"),
        });
    return table;
}

void COVPackCtrl::SetInputArray(const Variant& value) {
    BeginCollect(1, InputArray, value);
    if (!IsNothing(InputArray)) {
        if (m_bClearPending) {
            m_packed.Clear();
            m_lCurrent = m_lStart;
            m_bClearPending = FALSE;
        }
        const HRESULT status = m_packed.Pack(InputArray, m_lCurrent);
        if (FAILED(status)) ReportNow(status);
    }
    SetInputValid(1, TRUE);
}

void COVPackCtrl::SetArrayNumber(int32_t row) {
    MoveTo(row);
}

void COVPackCtrl::SetArray(const Variant& value) {
    m_packed.Assign(value);
    SetModifiedFlag();
}

void COVPackCtrl::SetClearArray(const Variant&) {
    m_lCurrent = m_lStart;
    m_packed.Clear();
    ClearStatus();
    FireResults(this);
}

Variant COVPackCtrl::Operate() {
    Compute();
    return m_packed.Value();
}

void COVPackCtrl::Compute() {
    m_packed.DropNonArray();
    // The row is rewound only when the next input arrives.
    if (m_bClearOnOutput) m_bClearPending = TRUE;
    FireResults(this);
}

void COVPackCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    // A loaded row is also where a new array begins.
    if (pPX->IsLoading()) m_lStart = m_lCurrent;
}

void COVPackCtrl::OnResetState() {
    CCollectingBlock::OnResetState();
    m_packed.Clear();
}

// --- OVUnpack -----------------------------------------------------------------

COVUnpackCtrl::COVUnpackCtrl() : CArrayOutputBlock(3) {}

const DispatchTable& COVUnpackCtrl::UnpackMembers() {
    using C = COVUnpackCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputArray, &C::SetInputArray>("InputArray", 1,
                                                           "Two-dimensional array to unpack")
                .Input(2)
                .Reset<&C::InputArray>({}),
            Property<&C::GetArrayNumber, &C::SetArrayNumber>("ArrayNumber", 2, "Row to take out")
                .Input(3)
                .Persist<&C::m_lArrayNumber>("ArrayNumber", {VT_I4, 0})
                .Reset<&C::m_lArrayNumber>({VT_I4, 0}),
            Property<&C::GetOutputArray, &C::SetOutputArray>("OutputArray", 3, "The row taken")
                .HiddenPut(),
            Method<&C::Operate>("Operate", 4, "Takes the row out at once"),
        });
    return table;
}

void COVUnpackCtrl::Compute() {
    ClearStatus();
    m_lStatusCode = UnpackRow(InputArray, m_lArrayNumber, &OutputArray);
    FireResults(this);
}
