#include "blocks/arith/random.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

thread_local uint32_t g_randomState = 1;

constexpr EnumValue kOutputPrecisionValues[] = {
    {"max_precision", -1}, {"zero_spaces", 0}, {"one_space", 1},   {"two_spaces", 2},
    {"three_spaces", 3},   {"four_spaces", 4}, {"five_spaces", 5}, {"six_spaces", 6},
};
constexpr EnumValue kRandomSequenceValues[] = {
    {"useNewSequence", useNewSequence},
    {"useSameSequence", useSameSequence},
};

uint32_t MillisecondTicks() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

const EnumDesc kOutputPrecisionEnum{"OUTPUT_PRECISION", kOutputPrecisionValues};
const EnumDesc kRandomSequenceEnum{"RANDOM_SEQUENCE", kRandomSequenceValues};

void SeedBlockRandom(uint32_t seed) {
    g_randomState = seed;
}

int32_t NextBlockRandom() {
    g_randomState = g_randomState * 214013u + 2531011u;
    return static_cast<int32_t>((g_randomState >> 16) & 0x7FFF);
}

double RoundToPlaces(double value, int32_t places) {
    if (places < 0) return value;
    const double scale = std::pow(10.0, places);
    const double half = 5.0 / std::pow(10.0, places + 1);
    const double scaled = (value >= 0 ? value + half : value - half) * scale;
    // Only what a 32-bit integer holds is rounded; beyond it (and for NaN)
    // the value stays as drawn.
    if (!(std::fabs(scaled) < 2147483648.0)) return value;
    return static_cast<int32_t>(scaled) / scale;
}

COVRandomCtrl::COVRandomCtrl() : COVBaseMathCtrl(1) {}

const DispatchTable& COVRandomCtrl::RandomMembers() {
    using C = COVRandomCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetValue, &C::SetValue>("Value", 1, "The last number drawn").HiddenPut(),
            Method<&C::Operate>("Operate", 2, "Draws a number at once and returns Value"),
            Property<&C::GetMinValue, &C::SetMinValue>("MinValue", 3, "Lower end of the range")
                .Persist<&C::m_dMinValue>("MinValue", {VT_R8, 0.0})
                .Reset<&C::m_dMinValue>({VT_R8, 0.0}),
            Property<&C::GetMaxValue, &C::SetMaxValue>("MaxValue", 4, "Upper end of the range")
                .Persist<&C::m_dMaxValue>("MaxValue", {VT_R8, 1.0})
                .Reset<&C::m_dMaxValue>({VT_R8, 1.0}),
            Property<&C::GetOutputPrecision, &C::SetOutputPrecision>(
                "OutputPrecision", 5, "Decimal places; -1 keeps every digit")
                .Enum(kOutputPrecisionEnum)
                .Reset<&C::m_lOutputPrecision>({VT_I4, 4}),
            Property<&C::GetNumberSequence, &C::SetNumberSequence>(
                "NumberSequence", 6, "New sequence or the same sequence at each load")
                .Enum(kRandomSequenceEnum)
                .Reset<&C::m_lNumberSequence>({VT_I4, useNewSequence}),
        });
    return table;
}

double COVRandomCtrl::Operate() {
    Compute();
    return m_dValue;
}

void COVRandomCtrl::Compute() {
    ClearStatus();
    if (!m_bSeeded) {
        SeedBlockRandom(m_seed);
        m_bSeeded = TRUE;
    }
    const int32_t r = NextBlockRandom();
    // The ends are not compared: with MaxValue below MinValue the numbers
    // still lie between the two.
    m_dValue = r * (m_dMaxValue - m_dMinValue) * kRandomScale + m_dMinValue;
    m_dValue = RoundToPlaces(m_dValue, m_lOutputPrecision);
    FireResults(this);
}

void COVRandomCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    // Blocks stored before version 1.1 have neither property, and take the
    // defaults whatever the bag holds: a row cannot depend on the version.
    const uint32_t version = ExchangedVersion();
    if (!pPX->IsLoading() || version >= CONTROL_VERSION) {
        PX_Long(pPX, "OutputPrecision", m_lOutputPrecision, 4);
        PX_Long(pPX, "NumberSequence", m_lNumberSequence, useNewSequence);
    } else {
        m_lOutputPrecision = 4;
        m_lNumberSequence = useNewSequence;
    }
    if (pPX->IsLoading()) {
        // A diagram that repeats its sequence starts from the same seed at
        // every load.
        m_seed = m_lNumberSequence == useSameSequence ? 1u : MillisecondTicks();
        m_bSeeded = FALSE;
    }
}

void COVRandomCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    m_dValue = NextBlockRandom() * kRandomScale;
    m_seed = static_cast<uint32_t>(std::time(nullptr));
    m_bSeeded = FALSE;
}
