#include "blocks/logic/alarm.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const Trace kSuccess = {"RunBlock", "StatusReady", "ErrorOut(self, 0, \"No Errors\")",
                        "ControlOut"};

Trace Concat(Trace a, const Trace& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An alarm with the thresholds 90, 70, 30, 10 and the given option.
void Thresholds(Block& b, int32_t option) {
    b.Put("VeryHigh", Variant::R8(90));
    b.Put("High", Variant::R8(70));
    b.Put("Low", Variant::R8(30));
    b.Put("VeryLow", Variant::R8(10));
    b.Put("AlarmOptions", Variant::I4(option));
    b.Take();
}

// Operates on `x` and returns the run's events.
Trace Feed(Block& b, double x) {
    b.Put("Value", Variant::R8(x));
    b.Call("Operate");
    return b.Take();
}

// The state properties in zone order: very high, high, normal, low, very low.
std::string States(Block& b) {
    std::string s;
    for (const char* name : {"VeryHighAlarmState", "HighAlarmState", "NormalAlarmState",
                             "LowAlarmState", "VeryLowAlarmState"}) {
        s += b.Get(name).boolVal() != 0 ? '1' : '0';
    }
    return s;
}

TEST(Alarm, EachTransitionFiresEnteredAndLeftZones) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachTransition);
    EXPECT_EQ(Feed(b, 50), Concat({"Normal(50)", "ValidateGroup(4)", "ValidateGroup(5)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    EXPECT_EQ(States(b), "00100");
    EXPECT_EQ(Feed(b, 50), Concat({"ValidateGroup(4)", "ValidateGroup(5)", "ValidateGroup(6)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    EXPECT_EQ(Feed(b, 80), Concat({"HighAlarm(80)", "Normal(80)", "ValidateGroup(4)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    EXPECT_EQ(States(b), "01000");
    EXPECT_EQ(Feed(b, 5), Concat({"HighAlarm(5)", "VeryLowAlarm(5)", "ValidateGroup(4)",
                                  "ValidateGroup(6)", "ValidateGroup(7)"},
                                 kSuccess));
    EXPECT_EQ(States(b), "00001");
    // AlarmClear only acts on latched alarms.
    b.Put("AlarmClear", Variant());
    EXPECT_EQ(b.Take(), Trace{});
    EXPECT_EQ(States(b), "00001");
}

TEST(Alarm, FirstTransitionOnlyLatchesUntilCleared) {
    Block b("OVAlarm");
    Thresholds(b, ovFireFirstTransitionOnly);
    EXPECT_EQ(Feed(b, 80), Concat({"HighAlarm(80)", "ValidateGroup(4)", "ValidateGroup(6)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    EXPECT_EQ(Feed(b, 95), Concat({"VeryHighAlarm(95)", "ValidateGroup(5)", "ValidateGroup(6)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    EXPECT_EQ(States(b), "11000");
    EXPECT_EQ(Feed(b, 50), Concat({"Normal(50)", "ValidateGroup(4)", "ValidateGroup(5)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    EXPECT_EQ(States(b), "11100");
    EXPECT_EQ(Feed(b, 85), Concat({"ValidateGroup(4)", "ValidateGroup(5)", "ValidateGroup(6)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
    b.Put("AlarmClear", Variant::I4(0));
    EXPECT_EQ(b.Take(), (Trace{"VeryHighAlarm(85)", "HighAlarm(85)", "Normal(85)", "LowAlarm(85)",
                               "VeryLowAlarm(85)"}));
    EXPECT_EQ(States(b), "00000");
    EXPECT_EQ(Feed(b, 85), Concat({"HighAlarm(85)", "ValidateGroup(4)", "ValidateGroup(6)",
                                   "ValidateGroup(7)", "ValidateGroup(8)"},
                                  kSuccess));
}

TEST(Alarm, EachUpdateFiresEveryZoneAndNoGroup) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachUpdate);
    EXPECT_EQ(Feed(b, 50), Concat({"VeryHighAlarm(50)", "HighAlarm(50)", "Normal(50)",
                                   "LowAlarm(50)", "VeryLowAlarm(50)"},
                                  kSuccess));
    EXPECT_EQ(States(b), "00100");
    // Every zone is stored before the first event fires.
    std::string seen;
    b.onEvent = [&](DISPID id, std::span<const Variant>) {
        if (id == kAlarmZones[0].eventId) seen = States(b);
    };
    Feed(b, 20);
    EXPECT_EQ(seen, "00010");
}

TEST(Alarm, AnOptionOutsideTheListChangesNothing) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachTransition);
    Feed(b, 50);
    b.Put("AlarmOptions", Variant::I4(7));
    EXPECT_EQ(b.Get("AlarmOptions"), Variant::I4(7));
    EXPECT_EQ(Feed(b, 95), kSuccess);
    EXPECT_EQ(States(b), "00100");  // changing the option kept the states too
}

TEST(Alarm, FailuresLeaveTheStatesAndFireEveryGroup) {
    struct Failure {
        const char* member;
        Variant value;
        int32_t status;
        const char* text;
    };
    const Failure cases[] = {
        {"High", Variant::R8(95), ERROR_INVALID_DATA_HR, "The data is invalid."},
        {"Low", Variant::R8(71), ERROR_INVALID_DATA_HR, "The data is invalid."},
        {"VeryLow", Variant::R8(31), ERROR_INVALID_DATA_HR, "The data is invalid."},
        {"VeryHigh", Variant::R8(std::numeric_limits<double>::quiet_NaN()), ERROR_INVALID_DATA_HR,
         "The data is invalid."},
        {"Value", Variant::Array(SafeArrayCreateVector(VT_R8, 0, 1)), TYPE_E_TYPEMISMATCH,
         "Type mismatch."},
        {"Low", Variant::Str("thirty"), TYPE_E_TYPEMISMATCH, "Type mismatch."},
        {"VeryHigh", Variant::Null(), TYPE_E_TYPEMISMATCH, "Type mismatch."},
    };
    for (const Failure& c : cases) {
        Block b("OVAlarm");
        Thresholds(b, ovFireEachTransition);
        Feed(b, 50);
        b.Put(c.member, c.value);
        b.Call("Operate");
        const std::string code = std::to_string(c.status);
        const std::string text = std::string("\"") + c.text + "\"";
        EXPECT_EQ(b.Take(), (Trace{"ValidateGroup(4)", "ValidateGroup(5)", "ValidateGroup(6)",
                                   "ValidateGroup(7)", "ValidateGroup(8)", "ValidateGroup(1)",
                                   "ErrorOut(self, " + code + ", " + text + ")",
                                   "ErrorOccurred(" + code + ", " + text + ")", "ControlOut"}))
            << c.member;
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << c.member;
        EXPECT_EQ(States(b), "00100") << c.member;
    }
}

TEST(Alarm, ZonesByInputAndThresholds) {
    struct Zone {
        double x;
        AlarmThresholds limits;
        const char* states;  // very high, high, normal, low, very low
    };
    const AlarmThresholds usual{90, 70, 30, 10};
    const Zone cases[] = {
        {95, usual, "10000"},
        {90, usual, "10000"},
        {89.9, usual, "01000"},
        {70, usual, "01000"},
        {69.9, usual, "00100"},
        {30.1, usual, "00100"},
        {30, usual, "00010"},
        {10.1, usual, "00010"},
        {10, usual, "00001"},
        {-1e300, usual, "00001"},
        {0, {0, 0, 0, 0}, "10001"},
        {50, {90, 50, 50, 10}, "01010"},
        {std::numeric_limits<double>::quiet_NaN(), usual, "00000"},
    };
    for (const Zone& c : cases) {
        const ZoneStates z = ClassifyAlarm(c.x, c.limits);
        std::string s;
        for (bool on : z)
            s += on ? '1' : '0';
        EXPECT_EQ(s, c.states) << c.x;
    }
}

TEST(Alarm, DefaultThresholdsPutZeroInBothOuterZones) {
    Block b("OVAlarm");
    EXPECT_EQ(Feed(b, 0), Concat({"VeryHighAlarm(0)", "VeryLowAlarm(0)", "ValidateGroup(5)",
                                  "ValidateGroup(6)", "ValidateGroup(7)"},
                                 kSuccess));
    EXPECT_EQ(States(b), "10001");
}

TEST(Alarm, EventsCarryTheInputAsStored) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachTransition);
    b.Put("Value", Variant::Str(" 75 "));
    b.Call("Operate");
    Trace t = b.Take();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "HighAlarm(\" 75 \")");
    EXPECT_EQ(b.Get("Value"), Variant::Str(" 75 "));
}

TEST(Alarm, StatePropertiesAreReadOnlyAndAlarmClearWriteOnly) {
    Block b("OVAlarm");
    for (const char* name : {"VeryLowAlarmState", "LowAlarmState", "VeryHighAlarmState",
                             "HighAlarmState", "NormalAlarmState"}) {
        EXPECT_EQ(b.Put(name, Variant::Bool(true)), CTL_E_SETNOTSUPPORTED) << name;
    }
    Variant out;
    EXPECT_EQ(b.control->Invoke(b.Id("AlarmClear"), DISPATCH_PROPERTYGET, {}, &out),
              CTL_E_GETNOTSUPPORTED);
    const std::pair<const char*, DISPID> ids[] = {
        {"Value", 1},
        {"VeryHigh", 2},
        {"High", 3},
        {"Low", 4},
        {"VeryLow", 5},
        {"AlarmOptions", 6},
        {"AlarmClear", 7},
        {"VeryLowAlarmState", 8},
        {"LowAlarmState", 9},
        {"VeryHighAlarmState", 10},
        {"HighAlarmState", 11},
        {"NormalAlarmState", 12},
        {"Operate", 13},
    };
    for (const auto& [name, id] : ids)
        EXPECT_EQ(b.Id(name), id) << name;
}

TEST(Alarm, WiredRunNeedsEveryThreshold) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachTransition);
    b.Invalidate({"Value", "High", "ControlIn"});
    b.Take();
    b.Put("Value", Variant::R8(50));
    b.Put("ControlIn", Variant::Bool(true));
    EXPECT_EQ(b.Take(), Trace{});
    b.Put("High", Variant::R8(40));  // now 50 is high
    EXPECT_EQ(b.Take(), Concat({"HighAlarm(50)", "ValidateGroup(4)", "ValidateGroup(6)",
                                "ValidateGroup(7)", "ValidateGroup(8)"},
                               kSuccess));
}

TEST(Alarm, NewBlockAndPersistence) {
    Block b("TALLYKIT.OVAlarmCtrl.1");
    for (const char* name : {"Value", "VeryHigh", "High", "Low", "VeryLow"}) {
        EXPECT_EQ(b.Get(name), Variant::R8(0)) << name;
    }
    EXPECT_EQ(b.Get("AlarmOptions"), Variant::I4(ovFireEachTransition));
    EXPECT_EQ(States(b), "00000");
    auto* base = dynamic_cast<COVBaseMathCtrl*>(b.control.Get());
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->HelpContext(), ALARM_HELP_CONTEXT);

    Thresholds(b, ovFireFirstTransitionOnly);
    Feed(b, 95);
    b.Put("Value", Variant::Str("12.5"));
    b.Put("Low", Variant::Array(SafeArrayCreateVector(VT_R8, 0, 1)));
    PropertyBag bag;
    b.control->Save(bag);
    std::vector<std::string> names;
    for (const PropertyBag::Property& p : bag.Properties())
        names.push_back(p.name);
    const std::vector<std::string> own(names.end() - 6, names.end());
    EXPECT_EQ(own, (std::vector<std::string>{"Value", "VeryHigh", "High", "Low", "VeryLow",
                                             "AlarmOptions"}));
    EXPECT_EQ(*bag.Read("Value"), Variant::R8(12.5));
    EXPECT_EQ(*bag.Read("Low"), Variant::R8(0));
    EXPECT_EQ(*bag.Read("AlarmOptions"), Variant::I4(ovFireFirstTransitionOnly));
    Block loaded("OVAlarm");
    loaded.control->Load(bag);
    EXPECT_EQ(loaded.Get("Value"), Variant::R8(12.5));
    EXPECT_EQ(loaded.Get("VeryHigh"), Variant::R8(90));
    EXPECT_EQ(loaded.Get("AlarmOptions"), Variant::I4(ovFireFirstTransitionOnly));
    EXPECT_EQ(States(loaded), "00000");  // states are not persisted

    PropertyBag empty;
    Block fresh("OVAlarm");
    fresh.control->Load(empty);
    EXPECT_EQ(fresh.Get("VeryLow"), Variant::R8(0));
    EXPECT_EQ(fresh.Get("AlarmOptions"), Variant::I4(ovFireEachTransition));
}

TEST(Alarm, TablesAreCompleteAndInOrder) {
    for (size_t z = 0; z < kAlarmZoneCount; ++z) {
        EXPECT_EQ(static_cast<size_t>(kAlarmZones[z].zone), z);
        EXPECT_EQ(kAlarmZones[z].eventId, static_cast<DISPID>(6 + z));
        EXPECT_EQ(kAlarmZones[z].group, kAlarmZones[z].eventId - 2);
        const EventDesc* e = COVAlarmCtrl::AlarmEvents().Find(kAlarmZones[z].eventId);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->name, kAlarmZones[z].event);
    }
    for (size_t i = 0; i < std::size(kAlarmOptions); ++i) {
        EXPECT_EQ(static_cast<size_t>(kAlarmOptions[i].value), i);
        EXPECT_EQ(&AlarmOptionRule(static_cast<int32_t>(i)), &kAlarmOptions[i]);
        EXPECT_EQ(kAlarmOptions[i].pageText.substr(0, 4), std::to_string(i) + " - ");
    }
    // Options outside the list keep every state and fire nothing.
    const AlarmOptionDesc& none = AlarmOptionRule(3);
    EXPECT_EQ(none.nextState, (ZoneRule{false, false, true, true}));
    EXPECT_EQ(none.fires, (ZoneRule{}));
}

}  // namespace
