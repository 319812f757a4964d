#include "blocks/signal/statistics.h"

#include "blocks/signal/analysis.h"
#include "framework/block_array.h"

StatisticsResult ComputeStatistics(const Variant& value, std::vector<float>& buffer) {
    StatisticsResult r;
    const SafeArray* array = ArrayOf(value);
    if (array && array->Dims() == 1) {
        r.status = ReadNumbers(*array, &IsNumericOrTextElementType, BadElement::Fail, &buffer,
                               NumberConversion::Rounding);
    } else {
        buffer.clear();
        r.status = TYPE_E_TYPEMISMATCH;
    }
    if (!buffer.empty()) {
        r.hasRange = true;
        float lo = buffer[0], hi = buffer[0];
        for (size_t i = 1; i < buffer.size(); ++i) {
            const float x = buffer[i];
            if (x < lo) lo = x;
            if (x >= hi) hi = x;
        }
        r.minValue = lo;
        r.maxValue = hi;
    }
    if (r.status != 0) return r;
    if (buffer.empty()) {
        r.status = ERROR_INVALID_DATA_HR;
        return r;
    }
    ovmStatistics(static_cast<int32_t>(buffer.size()), buffer.data(), &r.mean, &r.variance,
                  &r.stdDeviation, &r.avgDeviation);
    return r;
}

CStatisticsCtrl::CStatisticsCtrl() : COVBaseMathCtrl(2) {}

const DispatchTable& CStatisticsCtrl::StatisticsMembers() {
    using C = CStatisticsCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetValue, &C::SetValue>("Value", 1, "Array of numbers to describe")
                .Input(2)
                .Reset<&C::m_value>({}),
            Property<&C::GetOutput<&C::m_fMean>, &C::SetOutput<&C::m_fMean>>("Mean", 2,
                                                                             "Mean of the values")
                .HiddenPut()
                .Reset<&C::m_fMean>({VT_R4, 0}),
            Property<&C::GetOutput<&C::m_fVariance>, &C::SetOutput<&C::m_fVariance>>(
                "Variance", 3, "Sample variance (divisor n - 1)")
                .HiddenPut()
                .Reset<&C::m_fVariance>({VT_R4, 0}),
            Property<&C::GetOutput<&C::m_fStdDeviation>, &C::SetOutput<&C::m_fStdDeviation>>(
                "StdDeviation", 4, "Sample standard deviation")
                .HiddenPut()
                .Reset<&C::m_fStdDeviation>({VT_R4, 0}),
            Property<&C::GetOutput<&C::m_fAvgDeviation>, &C::SetOutput<&C::m_fAvgDeviation>>(
                "AvgDeviation", 5, "Mean absolute deviation about the mean")
                .HiddenPut()
                .Reset<&C::m_fAvgDeviation>({VT_R4, 0}),
            Property<&C::GetOutput<&C::m_fMinValue>, &C::SetOutput<&C::m_fMinValue>>(
                "MinValue", 6, "Smallest value")
                .HiddenPut()
                .Reset<&C::m_fMinValue>({VT_R4, 0}),
            Property<&C::GetOutput<&C::m_fMaxValue>, &C::SetOutput<&C::m_fMaxValue>>(
                "MaxValue", 7, "Largest value")
                .HiddenPut()
                .Reset<&C::m_fMaxValue>({VT_R4, 0}),
            Method<&C::Operate>("Operate", 8, "Computes at once"),
        });
    return table;
}

void CStatisticsCtrl::SetValue(const Variant& value) {
    m_value = value;
    SetModifiedFlag();
    if (!m_bWiredMode) return;
    m_bInputChanged = TRUE;
    SetInputValid(1, TRUE);
}

void CStatisticsCtrl::Compute() {
    ClearStatus();
    const StatisticsResult r = ComputeStatistics(m_value, m_buffer);
    if (r.hasRange) {
        m_fMinValue = r.minValue;
        m_fMaxValue = r.maxValue;
    }
    m_lStatusCode = r.status;
    if (r.status == 0) {
        m_fMean = r.mean;
        m_fVariance = r.variance;
        m_fStdDeviation = r.stdDeviation;
        m_fAvgDeviation = r.avgDeviation;
    }
    FireResults(this);
}
