#include "blocks/logic/alarm.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

// The trace of a successful run: `events`, then ValidateGroup for each group
// in `quiet`, then the results.
Trace Success(Trace events, std::initializer_list<int> quiet) {
    for (int group : quiet)
        events.push_back("ValidateGroup(" + std::to_string(group) + ")");
    events.insert(events.end(), {"RunBlock", "StatusReady"});
    return harness::RunTrace(events);
}

// An alarm with the thresholds 90, 70, 30, 10 and the given option.
void Thresholds(Block& b, int32_t option) {
    harness::Drive(b, "VeryHigh=r8 90; High=r8 70; Low=r8 30; VeryLow=r8 10");
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
    EXPECT_EQ(Feed(b, 50), Success({"Normal(50)"}, {4, 5, 7, 8}));
    EXPECT_EQ(States(b), "00100");
    EXPECT_EQ(Feed(b, 50), Success({}, {4, 5, 6, 7, 8}));
    EXPECT_EQ(Feed(b, 80), Success({"HighAlarm(80)", "Normal(80)"}, {4, 7, 8}));
    EXPECT_EQ(States(b), "01000");
    EXPECT_EQ(Feed(b, 5), Success({"HighAlarm(5)", "VeryLowAlarm(5)"}, {4, 6, 7}));
    EXPECT_EQ(States(b), "00001");
    // AlarmClear only acts on latched alarms.
    b.Put("AlarmClear", Variant());
    EXPECT_EQ(b.Take(), Trace{});
    // An option outside the list keeps the states and fires nothing.
    b.Put("AlarmOptions", Variant::I4(7));
    EXPECT_EQ(b.Get("AlarmOptions"), Variant::I4(7));
    EXPECT_EQ(Feed(b, 95), Success({}, {}));
    EXPECT_EQ(States(b), "00001");
}

TEST(Alarm, FirstTransitionOnlyLatchesUntilCleared) {
    Block b("OVAlarm");
    Thresholds(b, ovFireFirstTransitionOnly);
    EXPECT_EQ(Feed(b, 80), Success({"HighAlarm(80)"}, {4, 6, 7, 8}));
    EXPECT_EQ(Feed(b, 95), Success({"VeryHighAlarm(95)"}, {5, 6, 7, 8}));
    EXPECT_EQ(States(b), "11000");
    EXPECT_EQ(Feed(b, 50), Success({"Normal(50)"}, {4, 5, 7, 8}));
    EXPECT_EQ(States(b), "11100");
    EXPECT_EQ(Feed(b, 85), Success({}, {4, 5, 6, 7, 8}));
    b.Put("AlarmClear", Variant::I4(0));
    EXPECT_EQ(b.Take(), (Trace{"VeryHighAlarm(85)", "HighAlarm(85)", "Normal(85)", "LowAlarm(85)",
                               "VeryLowAlarm(85)"}));
    EXPECT_EQ(States(b), "00000");
    EXPECT_EQ(Feed(b, 85), Success({"HighAlarm(85)"}, {4, 6, 7, 8}));
}

TEST(Alarm, EachUpdateFiresEveryZoneAndNoGroup) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachUpdate);
    EXPECT_EQ(Feed(b, 50), Success({"VeryHighAlarm(50)", "HighAlarm(50)", "Normal(50)",
                                    "LowAlarm(50)", "VeryLowAlarm(50)"},
                                   {}));
    EXPECT_EQ(States(b), "00100");
    // Every zone is stored before the first event fires.
    std::string seen;
    b.onEvent = [&](DISPID id, std::span<const Variant>) {
        if (id == kAlarmZones[0].event.dispid) seen = States(b);
    };
    Feed(b, 20);
    EXPECT_EQ(seen, "00010");
}

TEST(Alarm, FailuresLeaveTheStatesAndFireEveryGroup) {
    const struct {
        const char* put;
        int32_t status;
    } cases[] = {
        {"Low=r8 71", ERROR_INVALID_DATA_HR},
        {"VeryLow=r8 31", ERROR_INVALID_DATA_HR},
        {"VeryHigh=r8 nan", ERROR_INVALID_DATA_HR},
        {"Value=r8[0]", TYPE_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        Block b("OVAlarm");
        Thresholds(b, ovFireEachTransition);
        Feed(b, 50);
        harness::Drive(b, std::string(c.put) + "; Operate");
        EXPECT_EQ(b.Take(),
                  harness::RunTrace({"ValidateGroup(4)", "ValidateGroup(5)", "ValidateGroup(6)",
                                     "ValidateGroup(7)", "ValidateGroup(8)", "ValidateGroup(1)"},
                                    c.status))
            << c.put;
        EXPECT_EQ(States(b), "00100") << c.put;
    }
}

TEST(Alarm, ZonesByInputAndThresholds) {
    const AlarmThresholds usual{90, 70, 30, 10};
    const struct {
        double x;
        AlarmThresholds limits;
        const char* states;  // very high, high, normal, low, very low
    } cases[] = {{90, usual, "10000"},
                 {70, usual, "01000"},
                 {30, usual, "00010"},
                 {10, usual, "00001"},
                 {0, {0, 0, 0, 0}, "10001"},
                 {50, {90, 50, 50, 10}, "01010"},
                 {std::numeric_limits<double>::quiet_NaN(), usual, "00000"}};
    for (const auto& c : cases) {
        std::string s;
        for (bool on : ClassifyAlarm(c.x, c.limits))
            s += on ? '1' : '0';
        EXPECT_EQ(s, c.states) << c.x;
    }
}

TEST(Alarm, WiredRunNeedsEveryThreshold) {
    Block b("OVAlarm");
    Thresholds(b, ovFireEachTransition);
    b.Invalidate({"Value", "High", "ControlIn"});
    b.Take();
    b.Put("Value", Variant::Str(" 50 "));
    b.Put("ControlIn", Variant::Bool(true));
    EXPECT_EQ(b.Take(), Trace{});
    b.Put("High", Variant::R8(40));  // now 50 is high
    // The events carry the input as it is stored, which the run leaves as it was.
    EXPECT_EQ(b.Take(), Success({"HighAlarm(\" 50 \")"}, {4, 6, 7, 8}));
    EXPECT_EQ(b.Get("Value"), Variant::Str(" 50 "));
}

}  // namespace
