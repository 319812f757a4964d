#include "blocks/array/collector.h"

HRESULT CollectValue(Variant& array, Variant& value, int32_t& current, int32_t& start) {
    if (SafeArray* held = ArrayOf(array)) {
        if (FAILED(ConvertToElement(value, held->ElementType()))) return S_OK;
        const HRESULT resized =
            ResizeBlockArray(*held, start, int64_t{current} - int64_t{start} + 1);
        if (FAILED(resized)) return resized;
    } else {
        if (current < 0) current = 0;
        start = current;
        if (IsUnheldElementType(value.vt())) return S_OK;
        SafeArrayPtr created = CreateBlockVector(value.vt(), start, 1);
        if (!created) return E_OUTOFMEMORY;
        array = Variant::Array(std::move(created));
    }
    if (!IsStorableElementType(value.vt())) return S_OK;
    // Values are written only into a one-dimensional array: one index cannot
    // address an array of more dimensions that a host put into Array.
    SafeArray& held = *ArrayOf(array);
    if (held.Dims() == 1 && SUCCEEDED(SafeArrayPutElement(&held, &current, value))) {
        // Past INT32_MAX the index wraps, as a 32-bit index does; the next
        // resize then reports the impossible count instead of overwriting.
        current = static_cast<int32_t>(static_cast<uint32_t>(current) + 1u);
    }
    return S_OK;
}

// --- the block --------------------------------------------------------------

COVCollectorCtrl::COVCollectorCtrl() : CCollectingBlock(3) {}

const DispatchTable& COVCollectorCtrl::CollectorMembers() {
    using C = COVCollectorCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetNew, &C::SetNew>("New", 1, "Value to add to the array")
                .Input(2)
                .Persist<&C::New>("New", {VT_R8, 0})
                .Reset<&C::New>({VT_R8, 0}),
            // Only the current index persists; the start index follows it when
            // the next array is created.
            Property<&C::GetArrayIndex, &C::SetArrayIndex>(
                "ArrayIndex", 2, "Index where the next value goes; a put starts there")
                .Input(3)
                .Persist<&C::m_lCurrent>("ArrayIndex", {VT_I4, -1}),
            Property<&C::GetArray, &C::SetArray>("Array", 3, "The collected array")
                .HiddenPut()
                .Reset<&C::Array>({}),
            WriteOnly<&C::SetClearArray>("ClearArray", 4, "Empties the array"),
            Property<&C::GetClearOnOutput, &C::SetClearOnOutput>(
                "ClearOnOutput", 5, "True: a new array starts after each output")
                .Persist<&C::m_bClearOnOutput>("ClearOnOutput", {VT_BOOL, 1}),
            Method<&C::Operate>("Operate", 6, "Outputs the collected array"),
        });
    return table;
}

void COVCollectorCtrl::SetNew(const Variant& value) {
    BeginCollect(1, New, value);
    if (m_bClearPending && m_lCurrent == m_lStart && ArrayOf(Array)) {
        Array.Clear();
        m_bClearPending = FALSE;
    }
    const HRESULT status = CollectValue(Array, New, m_lCurrent, m_lStart);
    if (FAILED(status)) ReportNow(status);
    SetInputValid(1, TRUE);
}

void COVCollectorCtrl::SetArrayIndex(int32_t index) {
    MoveTo(index);
}

void COVCollectorCtrl::SetClearArray(const Variant&) {
    m_lCurrent = m_lStart;
    ClearAndReport(Array);
}

Variant COVCollectorCtrl::Operate() {
    Compute();
    return Array;
}

void COVCollectorCtrl::Compute() {
    if (!ArrayOf(Array)) Array.Clear();
    if (m_bClearOnOutput) {
        // The array stays readable until the next value starts a new one.
        m_bClearPending = TRUE;
        m_lCurrent = m_lStart;
    }
    // A failure of the last put (a resize, out of memory) is what this run reports.
    FireResults(this);
}
