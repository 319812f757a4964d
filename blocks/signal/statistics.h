#pragma once
// Statistics: the mean, variance, standard deviation, average deviation,
// minimum and maximum of a one-dimensional array of numbers, offered as six
// 4-byte float outputs.
#include <cstdint>
#include <vector>

#include "framework/base_math_ctrl.h"

struct StatisticsResult {
    int32_t status = 0;
    float mean = 0, variance = 0, stdDeviation = 0, avgDeviation = 0;
    // Over the elements read before a failure; unset (hasRange false) when none.
    bool hasRange = false;
    float minValue = 0, maxValue = 0;
};

// Reads `value`, which must hold a one-dimensional array of a numeric element
// type or of strings, into `buffer` (scratch space) as floats with
// NumberConversion::Rounding, and computes its moments with ovmStatistics and
// its range: the minimum takes a smaller element, the maximum a larger or
// equal one, starting at the first. TYPE_E_TYPEMISMATCH for any other value or
// an element that does not convert (moments unset, range over the elements
// read before it); ERROR_INVALID_DATA_HR for an array without elements.
StatisticsResult ComputeStatistics(const Variant& value, std::vector<float>& buffer);

constexpr int32_t STATISTICS_HELP_CONTEXT = 512;

class CStatisticsCtrl : public COVBaseMathCtrl {
  public:
    CStatisticsCtrl();

    static const DispatchTable& StatisticsMembers();
    static constexpr ControlClass kClass{&StatisticsMembers, &BaseEvents, STATISTICS_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetValue() const { return m_value; }
    // Stores a copy; only in wired mode does the put count as an arrived input.
    void SetValue(const Variant& value);
    template <float CStatisticsCtrl::*Field>
    float GetOutput() const {
        return this->*Field;
    }
    template <float CStatisticsCtrl::*Field>
    void SetOutput(float value) {
        this->*Field = value;
    }
    void Operate() { Compute(); }

  protected:
    // On failure the moments keep their previous values; MinValue and MaxValue
    // may already reflect the elements read before the failing one.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    Variant m_value;
    float m_fMean = 0, m_fVariance = 0, m_fStdDeviation = 0, m_fAvgDeviation = 0;
    float m_fMinValue = 0, m_fMaxValue = 0;
    std::vector<float> m_buffer;  // kept between runs to spare reallocation
};
