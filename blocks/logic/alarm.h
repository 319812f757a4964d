#pragma once
// OVAlarm: classifies an input against four thresholds into five zones (very
// high, high, normal, low, very low), keeps one Boolean state per zone and
// reports zone changes through five events. AlarmOptions chooses when the zone
// events fire: on every update, on every change of a zone state, or only when a
// zone is first entered (latched until AlarmClear).
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "framework/base_math_ctrl.h"

// When the zone events fire (type library enumeration).
enum ALARM_OPTIONS_TYPE : int32_t {
    ovFireEachUpdate = 0,
    ovFireEachTransition = 1,
    ovFireFirstTransitionOnly = 2,
};

// The zones, in the order of their events' DISPIDs.
enum class AlarmZone : uint8_t { VeryHigh, High, Normal, Low, VeryLow };
constexpr size_t kAlarmZoneCount = 5;
// One flag per zone, indexed by AlarmZone.
using ZoneStates = std::array<bool, kAlarmZoneCount>;

struct AlarmZoneDesc {
    AlarmZone zone;
    EventDecl<Variant> event;  // "VeryHighAlarm", DISPIDs 6 to 10, with the input
    int32_t group;             // the event's DISPID minus 2: 4 to 8
};
// Indexed by AlarmZone.
extern const AlarmZoneDesc kAlarmZones[kAlarmZoneCount];

// What one run does to one zone, given its stored state and its state for the
// new input. Indexed by stored * 2 + current.
using ZoneRule = std::array<bool, 4>;

struct AlarmOptionDesc {
    ALARM_OPTIONS_TYPE value;
    std::string_view name;      // "ovFireEachUpdate"
    std::string_view pageText;  // its entry in the property page's list
    ZoneRule nextState;         // the zone's stored state after the run
    ZoneRule fires;             // whether the zone's event fires
    bool storesFirst;           // every state is stored before the first event
    bool reportsQuietZones;     // ValidateGroup for each zone whose event did not fire
};
// Indexed by the option's value.
extern const AlarmOptionDesc kAlarmOptions[3];

// The rule of `option`; a value outside the enumeration changes no state,
// fires no zone event and reports no group.
const AlarmOptionDesc& AlarmOptionRule(int32_t option);

struct AlarmThresholds {
    double veryHigh = 0, high = 0, low = 0, veryLow = 0;
};

// The inputs of a run as plain numbers, or the status that ends it.
struct AlarmReading {
    int32_t status = 0;  // 0, 0x80028CA0 or 0x8007000D
    double x = 0;
    AlarmThresholds limits;
};

// Converts `inputs` (Value, VeryHigh, High, Low, VeryLow: the block's inputs
// in DISPID order) to doubles in that order, leaving them unchanged. Status
// TYPE_E_TYPEMISMATCH when one does not convert; ERROR_INVALID_DATA_HR unless
// VeryHigh >= High >= Low >= VeryLow (equal thresholds pass, a NaN does not).
AlarmReading ReadAlarmInputs(std::span<const Variant, 5> inputs);

// The zones `x` lies in: very high x >= VeryHigh; high High <= x < VeryHigh;
// normal Low < x < High; low VeryLow < x <= Low; very low x <= VeryLow. A
// threshold belongs to the alarm zone next to it, so equal thresholds can put
// x in two zones at once; a NaN lies in none.
ZoneStates ClassifyAlarm(double x, const AlarmThresholds& limits);

constexpr int32_t ALARM_HELP_CONTEXT = 52;

class COVAlarmCtrl : public COVBaseMathCtrl {
  public:
    COVAlarmCtrl();

    static const DispatchTable& AlarmMembers();
    static const EventTable& AlarmEvents();
    static constexpr ControlClass kClass{&AlarmMembers, &AlarmEvents, ALARM_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    // The input (DISPID 1, Value) and the thresholds (2 VeryHigh, 3 High,
    // 4 Low, 5 VeryLow); each put is the input put handler.
    template <DISPID D>
    Variant GetInput() const {
        return m_inputs[D - 1];
    }
    template <DISPID D>
    void SetInput(const Variant& value) {
        PutInput(D, m_inputs[D - 1], value);
    }
    int32_t GetAlarmOptions() const { return m_lAlarmOptions; }
    // Stores any value; the zone states stay as they are.
    void SetAlarmOptions(int32_t value);
    // Any put: with ovFireFirstTransitionOnly, clears every zone state and
    // fires the five zone events in zone order; otherwise nothing.
    void SetAlarmClear(const Variant& value);
    template <AlarmZone Z>
    bool GetAlarmState() const {
        return m_states[static_cast<size_t>(Z)];
    }
    void Operate() { Compute(); }

  protected:
    // Status 0; ReadAlarmInputs (failure: ValidateGroup 4 to 8 and its status,
    // states unchanged); otherwise the zone events by the AlarmOptions rule,
    // then ValidateGroup for the quiet zones where the rule says so; FireResults.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void OnResetState() override;

  private:
    void FireZoneEvent(size_t zone);

    Variant m_inputs[5];  // Value, VeryHigh, High, Low, VeryLow
    ZoneStates m_states{};
    int32_t m_lAlarmOptions = ovFireEachTransition;
};
