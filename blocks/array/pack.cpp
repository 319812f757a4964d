#include "blocks/array/pack.h"

#include <algorithm>

#include "platform/property_bag.h"

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

bool Covers(const SafeArray& packed, int32_t row, const RowRange& range) {
    const SAFEARRAYBOUND& index = packed.Bound(1);
    return InBounds(packed.Bound(0), row) &&
           (range.count == 0 ||
            (range.lower >= index.lLbound && range.Upper() <= UpperIndex(index)));
}

// A larger copy of `packed` that holds row `row` over `range`: rows from 0,
// indices spanning both the old and the new range, every old element at its
// (row, index). Rows below 0 (only in an array a host put) are not kept.
SafeArrayPtr Enlarged(const SafeArray& packed, int32_t row, const RowRange& range) {
    const SAFEARRAYBOUND rows = packed.Bound(0), index = packed.Bound(1);
    const int64_t rowCount = std::max<int64_t>(int64_t{row} + 1, rows.cElements);
    int64_t lower = index.lLbound, upper = UpperIndex(index);
    if (range.count > 0) {
        lower = std::min(lower, range.lower);
        upper = std::max(upper, range.Upper());
    }
    SafeArrayPtr larger =
        CreateBlockArray(packed.ElementType(), {{0, rowCount}, {lower, upper - lower + 1}});
    if (!larger) return nullptr;
    // The first index runs fastest, so the old rows of one index are one
    // contiguous run in both arrays.
    const int64_t firstRow = std::max<int64_t>(rows.lLbound, 0);
    const int64_t lastRow = std::min<int64_t>(UpperIndex(rows), rowCount - 1);
    if (firstRow <= lastRow) {
        const ElementWalk from{.offset = static_cast<size_t>(firstRow - rows.lLbound),
                               .runStep = rows.cElements};
        const ElementWalk to{
            .offset = static_cast<size_t>(firstRow + (index.lLbound - lower) * rowCount),
            .runStep = static_cast<size_t>(rowCount)};
        CopyElements(packed, from, *larger, to, static_cast<size_t>(lastRow - firstRow + 1),
                     index.cElements);
    }
    return larger;
}

}  // namespace

HRESULT PackRow(Variant& packed, const Variant& row, int32_t& currentRow) {
    if (IsNothing(row) || currentRow < 0) return S_OK;
    const SafeArray* source = nullptr;
    if (row.IsArray()) {
        source = ArrayOf(row);
        if (!source || source->Dims() != 1) return S_OK;
    }
    const RowRange range =
        source ? RowRange{source->Bound(0).lLbound, source->Bound(0).cElements} : RowRange{};
    const VARTYPE rowType = source ? source->ElementType() : row.vt();
    SafeArray* target = ArrayOf(packed);
    if (!target || target->Dims() != 2) {
        SafeArrayPtr created =
            CreateBlockArray(rowType, {{0, int64_t{currentRow} + 1}, {range.lower, range.count}});
        if (!created) return E_OUTOFMEMORY;
        packed = Variant::Array(std::move(created));
        target = ArrayOf(packed);
    }
    const VARTYPE packedType = target->ElementType();
    if (rowType != packedType && !PairConverts(rowType, packedType)) return S_OK;
    if (!Covers(*target, currentRow, range)) {
        SafeArrayPtr larger = Enlarged(*target, currentRow, range);
        if (!larger) return E_OUTOFMEMORY;
        packed = Variant::Array(std::move(larger));
        target = ArrayOf(packed);
    }
    if (range.count > 0) {
        const int64_t first = ElementOffset(*target, currentRow, static_cast<int32_t>(range.lower));
        const ElementWalk to{.offset = static_cast<size_t>(first),
                             .step = target->Bound(0).cElements};
        if (source) {
            CopyElements(*source, {}, *target, to, static_cast<size_t>(range.count));
        } else {
            Variant value = row;
            if (SUCCEEDED(ConvertToElement(value, packedType)))
                target->SetElementAt(to.offset, value);
        }
    }
    // Past INT32_MAX the row wraps negative, and a negative row packs nothing.
    currentRow = static_cast<int32_t>(static_cast<uint32_t>(currentRow) + 1u);
    return S_OK;
}

HRESULT UnpackRow(const Variant& packed, int32_t number, Variant* out) {
    const SafeArray* array = ArrayOf(packed);
    if (!array || array->Dims() < 2) return TYPE_E_TYPEMISMATCH;
    if (!InBounds(array->Bound(0), number)) return ERROR_INVALID_DATA_HR;
    const SAFEARRAYBOUND& index = array->Bound(1);
    out->Clear();
    SafeArrayPtr row = CreateBlockVector(array->ElementType(), index.lLbound, index.cElements);
    if (!row) return E_OUTOFMEMORY;
    const ElementWalk from{.offset = static_cast<size_t>(int64_t{number} - array->Bound(0).lLbound),
                           .step = array->Bound(0).cElements};
    CopyElements(*array, from, *row, {}, index.cElements);
    *out = Variant::Array(std::move(row));
    return S_OK;
}

// --- OVPack -------------------------------------------------------------------

COVPackCtrl::COVPackCtrl() : CArrayBlock(3) {}

const DispatchTable& COVPackCtrl::PackMembers() {
    using C = COVPackCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputArray, &C::SetInputArray>("InputArray", 1,
                                                           "Array or value to pack as a row"),
            Property<&C::GetArrayNumber, &C::SetArrayNumber>(
                "ArrayNumber", 2, "Row the next input goes to; a put starts there"),
            Property<&C::GetArray, &C::SetArray>("Array", 3, "The packed two-dimensional array"),
            WriteOnly<&C::SetClearArray>("ClearArray", 4, "Empties the array"),
            Property<&C::GetClearOnOutput, &C::SetClearOnOutput>(
                "ClearOnOutput", 5, "True: a new array starts after each output"),
            Method<&C::Operate>("Operate", 6, "Outputs the packed array"),
        });
    return table;
}

int32_t COVPackCtrl::GetInputIndex(DISPID dispid) {
    if (dispid == 1 || dispid == 2) return dispid + 1;
    return COVBaseMathCtrl::GetInputIndex(dispid);
}

void COVPackCtrl::SetInputArray(const Variant& value) {
    BeginCollect(1, InputArray, value);
    if (!IsNothing(InputArray)) {
        if (m_bClearPending) {
            Array.Clear();
            m_lCurrentRow = m_lStartRow;
            m_bClearPending = FALSE;
        }
        const HRESULT status = PackRow(Array, InputArray, m_lCurrentRow);
        if (FAILED(status)) ReportNow(status);
    }
    SetInputValid(1, TRUE);
}

void COVPackCtrl::SetArrayNumber(int32_t row) {
    m_lStartRow = row;
    PutInputField(2, m_lCurrentRow, row);
}

void COVPackCtrl::SetClearArray(const Variant&) {
    m_lCurrentRow = m_lStartRow;
    ClearAndReport(Array);
}

Variant COVPackCtrl::Operate() {
    Compute();
    return Array;
}

void COVPackCtrl::Compute() {
    if (!ArrayOf(Array)) Array.Clear();
    // The row is rewound only when the next input arrives.
    if (m_bClearOnOutput) m_bClearPending = TRUE;
    FireResults(this);
}

void COVPackCtrl::DoPropExchange(CPropExchange* pPX) {
    uint32_t version = CONTROL_VERSION;
    ExchangeVersion(pPX, version, CONTROL_VERSION);
    COVBaseMathCtrl::DoPropExchange(pPX);
    PX_Long(pPX, "ArrayNumber", m_lCurrentRow, 0);
    if (pPX->IsLoading()) m_lStartRow = m_lCurrentRow;
    PX_Bool(pPX, "ClearOnOutput", m_bClearOnOutput, TRUE);
}

void COVPackCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    InputArray.Clear();
    Array.Clear();
    m_lCurrentRow = 0;
    m_lStartRow = 0;
    m_bClearOnOutput = TRUE;
    m_bClearPending = FALSE;
    m_nHelpContext = PACK_HELP_CONTEXT;
}

// --- OVUnpack -----------------------------------------------------------------

COVUnpackCtrl::COVUnpackCtrl() : CArrayBlock(3) {}

const DispatchTable& COVUnpackCtrl::UnpackMembers() {
    using C = COVUnpackCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputArray, &C::SetInputArray>("InputArray", 1,
                                                           "Two-dimensional array to unpack"),
            Property<&C::GetArrayNumber, &C::SetArrayNumber>("ArrayNumber", 2, "Row to take out"),
            Property<&C::GetOutputArray, &C::SetOutputArray>("OutputArray", 3, "The row taken"),
            Method<&C::Operate>("Operate", 4, "Takes the row out at once"),
        });
    return table;
}

int32_t COVUnpackCtrl::GetInputIndex(DISPID dispid) {
    if (dispid == 1 || dispid == 2) return dispid + 1;
    return COVBaseMathCtrl::GetInputIndex(dispid);
}

Variant COVUnpackCtrl::Operate() {
    Compute();
    return OutputArray;
}

void COVUnpackCtrl::Compute() {
    ClearStatus();
    m_lStatusCode = UnpackRow(InputArray, m_lArrayNumber, &OutputArray);
    FireResults(this);
}

void COVUnpackCtrl::DoPropExchange(CPropExchange* pPX) {
    uint32_t version = CONTROL_VERSION;
    ExchangeVersion(pPX, version, CONTROL_VERSION);
    COVBaseMathCtrl::DoPropExchange(pPX);
    PX_Long(pPX, "ArrayNumber", m_lArrayNumber, 0);
}

void COVUnpackCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    InputArray.Clear();
    OutputArray.Clear();
    m_lArrayNumber = 0;
    m_nHelpContext = UNPACK_HELP_CONTEXT;
}
