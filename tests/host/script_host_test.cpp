// The script host's limits, its process-wide settings and its table-driven
// listings; the language itself is covered by the golden transcripts.
#include "host/script_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <type_traits>

#include "module/class_table.h"
#include "platform/services.h"

namespace {

struct Outcome {
    std::string out, err;
    int status = 0;
    bool stopped = false;
};

Outcome RunText(std::string_view text, HostOptions options = {}) {
    std::ostringstream out, err;
    ScriptHost host(out, err, options);
    host.RunScript(text, "t.tks");
    return {out.str(), err.str(), host.ExitStatus(), host.Stopped()};
}

size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string Times(std::string_view line, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += line;
    return text;
}

template <class T>
HostOptions With(T HostOptions::*option, std::type_identity_t<T> value) {
    HostOptions options;
    options.*option = value;
    return options;
}

// Limits, quit and runaway handlers: what still runs, what is said, how the script ends.
TEST(ScriptHost, LimitsStopWhatTheyGuard) {
    struct Case {
        std::string_view text;
        HostOptions options;
        std::string out, err;
        bool stopped;
        int status;
    };
    const Case cases[] = {
        // The repeat itself is the first of the ten steps.
        {"repeat 100 do echo x\necho after", With(&HostOptions::maxSteps, 10), Times("x\n", 9),
         "t.tks:1: stopped: more than 10 commands run\n", true, 1},
        {"repeat 6 do echo x\nrepeat 5 do echo y", With(&HostOptions::maxRepeat, 5),
         Times("y\n", 5), "t.tks:1: repeat 6: at most 5 here\n", false, 1},
        {"new a OVAdd\nsave a x.bag\nload b OVAdd x.bag", With(&HostOptions::fileAccess, false), "",
         "t.tks:2: file access is off\nt.tks:3: file access is off\n", false, 1},
        {"echo a\nquit\necho b", {}, "a\n", "", true, 0},
        // Handlers that start each other stop once, at the nesting limit; the next command
        // runs handlers again.
        {"new r OVAdd\non r.ControlOut do call r.Operate()\ncall r.Operate()\n"
         "new s OVAdd\non s.ControlOut do echo s ran\ncall s.Operate()",
         HostOptions(), Times("r.Operate = r8 0\n", 65) + "s ran\ns.Operate = r8 0\n",
         "t.tks:2: handlers nest deeper than 64 (handlers that start each other without end?): "
         "stopped\n",
         false, 1},
    };
    for (const Case& c : cases) {
        Outcome run = RunText(c.text, c.options);
        EXPECT_EQ(run.out, c.out) << c.text;
        EXPECT_EQ(run.err, c.err) << c.text;
        EXPECT_EQ(run.stopped, c.stopped) << c.text;
        EXPECT_EQ(run.status, c.status) << c.text;
    }
}

TEST(ScriptHost, InteractiveLinesCountOn) {
    std::ostringstream out, err;
    ScriptHost host(out, err);
    host.RunScript("new a OVAdd\n\n", "s.tks");
    host.RunLine("get a.Value");
    host.RunLine("get a.Nothing");
    EXPECT_EQ(out.str(), "a.Value = r8 0\nerror 0x80020006 Unknown name.\n");
    EXPECT_EQ(err.str(),
              "s.tks:4: get a.Nothing: 0x80020006 Unknown name. (a (OVAdd) has no "
              "member Nothing)\n");
}

TEST(ScriptHost, HandlersSeeObjectsCreatedAfterThem) {
    // The handler's target does not exist when the handler is declared; member
    // reads resolve again whenever objects change.
    Outcome run = RunText(
        "new a OVAdd\n"
        "on a.ControlOut do set b.InputX = a.Value\n"
        "set a.InputX = 2\n"
        "call a.Operate()\n"
        "new b OVAdd\n"
        "call a.Operate()\n"
        "get b.InputX\n"
        "new b OVSubtract\n"
        "call a.Operate()\n"
        "get b.InputX\n");
    EXPECT_EQ(run.err, "t.tks:2: unknown object `b`\n");
    EXPECT_EQ(run.out,
              "a.Operate = r8 2\na.Operate = r8 2\nb.InputX = r8 2\na.Operate = r8 2\n"
              "b.InputX = r8 2\n");
}

TEST(ScriptHost, HaltAndReportsEndWithTheHost) {
    {
        std::ostringstream out, err;
        ScriptHost host(out, err);
        host.RunScript("halt on\nreports on\n", "t.tks");
        EXPECT_TRUE(FiringHalted());
    }
    EXPECT_FALSE(FiringHalted());
    // A report after the host is gone reaches nobody (and nothing crashes).
    std::ostringstream out, err;
    ScriptHost quiet(out, err);
    quiet.RunScript("new a OVDivide\nset a.InputY = 0\ncall a.Operate()", "t.tks");
    EXPECT_EQ(out.str(), "a.Operate = r8 inf\n");
}

// Every creatable class, whatever family it comes from, is listed, is reachable
// by each of its names and lists its members and events.
TEST(ScriptHost, EveryClassCreatesAndDescribesItself) {
    std::ostringstream classes;
    PrintClasses(classes);
    EXPECT_EQ(Lines(classes.str()), ClassTable().size() + 1);
    for (const ClassEntry& c : ClassTable()) {
        EXPECT_NE(classes.str().find(std::string(c.progId)), std::string::npos) << c.progId;
        for (std::string_view name : {c.progId, c.coclass, c.className}) {
            if (name.empty()) continue;
            Outcome run =
                RunText("new x " + std::string(name) + "\nhelp x\nhelp " + std::string(name));
            EXPECT_EQ(run.err, "") << name;
            EXPECT_NE(run.out.find("method AboutBox()"), std::string::npos) << name;
            if (DescribeClass(c).members->Find("ControlIn") == nullptr) continue;  // placeholder
            EXPECT_NE(run.out.find("property ControlIn: variant"), std::string::npos) << name;
            EXPECT_NE(run.out.find("event ErrorOut(pObject: dispatch"), std::string::npos) << name;
        }
    }
    // Members with named values list the names under them.
    const std::string random = RunText("help OVRandom").out;
    EXPECT_NE(random.find("  property NumberSequence: i4  -- New sequence or the same sequence "
                          "at each load\n      RANDOM_SEQUENCE: useNewSequence = 0, "
                          "useSameSequence = 1\n"),
              std::string::npos);
    EXPECT_NE(random.find("  property InvalidProperty: i4, write-only, hidden  --"),
              std::string::npos);
}

// What reaches the terminal from a script that is not what it should be.
TEST(ScriptHost, ScriptTextIsCheckedBeforeItRuns) {
    struct Case {
        std::string_view text, out, err;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "echo hi",
         "hi\n", ""},
        {std::string_view("echo a\n\0\x1B[2J", 11), "",
         "t.tks: not a script: binary data (a NUL byte at offset 7)\n"},
        {"frob\x1B[2J\x7F", "",
         "t.tks:1: unknown command `frob\\x1B[2J\\x7F` (help lists the commands)\n"},
    };
    for (const Case& c : cases) {
        Outcome run = RunText(c.text);
        EXPECT_EQ(run.out, c.out) << c.text;
        EXPECT_EQ(run.err, c.err) << c.text;
    }
}

TEST(ScriptHost, CompletesCommandsObjectsClassesAndMembers) {
    std::ostringstream out, err;
    ScriptHost host(out, err);
    host.RunScript("new alpha OVAdd\nnew alarm OVAlarm\n", "t.tks");
    struct Case {
        std::string_view line, word;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {"", "dis", {"disconnect"}},
        {"get ", "al", {"alarm", "alpha"}},
        {"new x ", "OVAdd", {"OVAdd"}},
        {"set ",
         "alpha.In",
         {"alpha.InputX", "alpha.InputY", "alpha.InvalidProperty", "alpha.InvalidateGroup"}},
        {"on ",
         "alarm.verylow",
         {"alarm.VeryLow", "alarm.VeryLowAlarm", "alarm.VeryLowAlarmState"}},
        {"get ", "ghost.V", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(host.Completions(c.line, c.word), c.found) << c.word;
}

TEST(ScriptHost, CancelStopsTheRunningLoopOnly) {
    std::ostringstream out, err;
    volatile std::sig_atomic_t cancel = 0;
    HostOptions options;
    options.cancel = &cancel;
    ScriptHost host(out, err, options);
    host.RunScript("new a OVAdd\non a.ControlOut do set a.PlexaInfo(8) = 1\n", "t.tks");
    cancel = 1;
    host.RunLine("for i in 1..1000000 do call a.Operate()");
    host.RunLine("echo after");
    EXPECT_EQ(out.str(), "after\n");
    EXPECT_EQ(err.str(), "t.tks:3: cancelled\n");
    EXPECT_EQ(cancel, 0);
}

}  // namespace
