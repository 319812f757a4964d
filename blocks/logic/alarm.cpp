#include "blocks/logic/alarm.h"

#include <vector>

#include "platform/property_bag.h"

const AlarmZoneDesc kAlarmZones[kAlarmZoneCount] = {
    {AlarmZone::VeryHigh, {"VeryHighAlarm", 6, {"Value"}, "Zone state changed"}, 4},
    {AlarmZone::High, {"HighAlarm", 7, {"Value"}, "Zone state changed"}, 5},
    {AlarmZone::Normal, {"Normal", 8, {"Value"}, "Zone state changed"}, 6},
    {AlarmZone::Low, {"LowAlarm", 9, {"Value"}, "Zone state changed"}, 7},
    {AlarmZone::VeryLow, {"VeryLowAlarm", 10, {"Value"}, "Zone state changed"}, 8},
};

// Rules by (stored, current): FF, FT, TF, TT.
const AlarmOptionDesc kAlarmOptions[3] = {
    // Every zone reports its new state on every update.
    {ovFireEachUpdate,
     "ovFireEachUpdate",
     "0 - Fire alarms on each data update",
     {false, true, false, true},
     {true, true, true, true},
     true,
     false},
    // A zone reports when it is entered and when it is left.
    {ovFireEachTransition,
     "ovFireEachTransition",
     "1 - Fire alarms once on each alarm transition",
     {false, true, false, true},
     {false, true, true, false},
     false,
     true},
    // A zone reports once when entered and stays latched.
    {ovFireFirstTransitionOnly,
     "ovFireFirstTransitionOnly",
     "2 - Fire alarms once on first alarm transition",
     {false, true, true, true},
     {false, true, false, false},
     false,
     true},
};

namespace {

const AlarmOptionDesc kNoAlarmOption{
    static_cast<ALARM_OPTIONS_TYPE>(-1), "",    "",   {false, false, true, true},
    {false, false, false, false},        false, false};

// Persisted and member names of the inputs, in DISPID order.
constexpr const char* kInputNames[5] = {"Value", "VeryHigh", "High", "Low", "VeryLow"};
// The inputs persist as doubles; a new block's are 0.
constexpr PlainValue kStoredInput{VT_R8, 0.0};

size_t RuleIndex(bool stored, bool current) {
    return (stored ? 2 : 0) + (current ? 1 : 0);
}

// The type library's ALARM_OPTIONS_TYPE, read from the option table.
const EnumDesc& AlarmOptionsEnum() {
    static const auto values = [] {
        std::array<EnumValue, std::size(kAlarmOptions)> v{};
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = {kAlarmOptions[i].name, kAlarmOptions[i].value};
        return v;
    }();
    static const EnumDesc desc{"ALARM_OPTIONS_TYPE", values};
    return desc;
}

}  // namespace

const AlarmOptionDesc& AlarmOptionRule(int32_t option) {
    for (const AlarmOptionDesc& d : kAlarmOptions) {
        if (d.value == option) return d;
    }
    return kNoAlarmOption;
}

AlarmReading ReadAlarmInputs(std::span<const Variant, 5> inputs) {
    double v[5];
    for (size_t i = 0; i < inputs.size(); ++i) {
        Variant d;
        if (FAILED(VariantChangeType(&d, &inputs[i], 0, VT_R8)))
            return {TYPE_E_TYPEMISMATCH, 0, {}};
        v[i] = d.dblVal();
    }
    AlarmReading r{0, v[0], {v[1], v[2], v[3], v[4]}};
    const AlarmThresholds& t = r.limits;
    if (!(t.veryHigh >= t.high && t.high >= t.low && t.low >= t.veryLow)) {
        return {ERROR_INVALID_DATA_HR, 0, {}};
    }
    return r;
}

ZoneStates ClassifyAlarm(double x, const AlarmThresholds& t) {
    return {
        x >= t.veryHigh,         t.high <= x && x < t.veryHigh,
        t.low < x && x < t.high, t.veryLow < x && x <= t.low,
        x <= t.veryLow,
    };
}

// --- the block --------------------------------------------------------------

COVAlarmCtrl::COVAlarmCtrl() : COVBaseMathCtrl(6) {}

const DispatchTable& COVAlarmCtrl::AlarmMembers() {
    using C = COVAlarmCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInput<1>, &C::SetInput<1>>(kInputNames[0], 1, "Value to classify")
                .Input(2)
                .PersistInput<&C::m_inputs, 0>(kInputNames[0], kStoredInput)
                .Reset<&C::m_inputs, 0>(kStoredInput),
            Property<&C::GetInput<2>, &C::SetInput<2>>(kInputNames[1], 2,
                                                       "Lowest value of the very high zone")
                .Input(3)
                .PersistInput<&C::m_inputs, 1>(kInputNames[1], kStoredInput)
                .Reset<&C::m_inputs, 1>(kStoredInput),
            Property<&C::GetInput<3>, &C::SetInput<3>>(kInputNames[2], 3,
                                                       "Lowest value of the high zone")
                .Input(4)
                .PersistInput<&C::m_inputs, 2>(kInputNames[2], kStoredInput)
                .Reset<&C::m_inputs, 2>(kStoredInput),
            Property<&C::GetInput<4>, &C::SetInput<4>>(kInputNames[3], 4,
                                                       "Highest value of the low zone")
                .Input(5)
                .PersistInput<&C::m_inputs, 3>(kInputNames[3], kStoredInput)
                .Reset<&C::m_inputs, 3>(kStoredInput),
            Property<&C::GetInput<5>, &C::SetInput<5>>(kInputNames[4], 5,
                                                       "Highest value of the very low zone")
                .Input(6)
                .PersistInput<&C::m_inputs, 4>(kInputNames[4], kStoredInput)
                .Reset<&C::m_inputs, 4>(kStoredInput),
            Property<&C::GetAlarmOptions, &C::SetAlarmOptions>("AlarmOptions", 6,
                                                               "When the zone events fire")
                .Persist<&C::m_lAlarmOptions>("AlarmOptions", {VT_I4, ovFireEachTransition})
                .Reset<&C::m_lAlarmOptions>({VT_I4, ovFireEachTransition})
                .Enum(AlarmOptionsEnum()),
            WriteOnly<&C::SetAlarmClear>("AlarmClear", 7, "Any put clears the latched zone states"),
            ReadOnly<&C::GetAlarmState<AlarmZone::VeryLow>>("VeryLowAlarmState", 8,
                                                            "True in the very low zone"),
            ReadOnly<&C::GetAlarmState<AlarmZone::Low>>("LowAlarmState", 9, "True in the low zone"),
            ReadOnly<&C::GetAlarmState<AlarmZone::VeryHigh>>("VeryHighAlarmState", 10,
                                                             "True in the very high zone"),
            ReadOnly<&C::GetAlarmState<AlarmZone::High>>("HighAlarmState", 11,
                                                         "True in the high zone"),
            ReadOnly<&C::GetAlarmState<AlarmZone::Normal>>("NormalAlarmState", 12,
                                                           "True in the normal zone"),
            Method<&C::Operate>("Operate", 13, "Classifies the input at once"),
        });
    return table;
}

const EventTable& COVAlarmCtrl::AlarmEvents() {
    static const EventTable table(&COVBaseMathCtrl::BaseEvents(), [] {
        std::vector<EventDesc> own;
        for (const AlarmZoneDesc& z : kAlarmZones) {
            own.push_back(z.event.Row());
        }
        return own;
    }());
    return table;
}

void COVAlarmCtrl::SetAlarmOptions(int32_t value) {
    PutBoundSetting(6, m_lAlarmOptions, value);
}

void COVAlarmCtrl::SetAlarmClear(const Variant&) {
    if (m_lAlarmOptions != ovFireFirstTransitionOnly) return;
    m_states.fill(false);
    for (size_t z = 0; z < kAlarmZoneCount; ++z)
        FireZoneEvent(z);
}

void COVAlarmCtrl::FireZoneEvent(size_t zone) {
    // The input as it is stored when the event fires: a handler of an earlier
    // zone event may have put a new one.
    Fire(kAlarmZones[zone].event, m_inputs[0]);
}

void COVAlarmCtrl::Compute() {
    ClearStatus();
    const AlarmReading reading = ReadAlarmInputs(m_inputs);
    if (reading.status != 0) {
        for (const AlarmZoneDesc& z : kAlarmZones)
            Fire(kValidateGroup, z.group);
        m_lStatusCode = reading.status;
        FireResults(this);
        return;
    }
    const ZoneStates current = ClassifyAlarm(reading.x, reading.limits);
    const AlarmOptionDesc& rule = AlarmOptionRule(m_lAlarmOptions);
    if (rule.storesFirst) m_states = current;
    // Each zone is stored just before its own event, so a handler sees the
    // zones before it already updated.
    ZoneStates fired{};
    for (size_t z = 0; z < kAlarmZoneCount; ++z) {
        const size_t i = RuleIndex(m_states[z], current[z]);
        m_states[z] = rule.nextState[i];
        if (rule.fires[i]) {
            fired[z] = true;
            FireZoneEvent(z);
        }
    }
    if (rule.reportsQuietZones) {
        for (size_t z = 0; z < kAlarmZoneCount; ++z) {
            if (!fired[z]) Fire(kValidateGroup, kAlarmZones[z].group);
        }
    }
    FireResults(this);
}

void COVAlarmCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    m_states.fill(false);
}
