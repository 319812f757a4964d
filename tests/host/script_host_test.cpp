// The script host's limits, its process-wide settings and its table-driven
// listings; the language itself is covered by the golden transcripts.
#include "host/script_host.h"

#include <gtest/gtest.h>

#include <sstream>

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

TEST(ScriptHost, StepLimitStopsTheScript) {
    HostOptions options;
    options.maxSteps = 10;
    Outcome run = RunText("repeat 100 do echo x\necho after", options);
    EXPECT_EQ(run.out, "x\nx\nx\nx\nx\nx\nx\nx\nx\n");  // the repeat was step 1
    EXPECT_EQ(run.err, "t.tks:1: stopped: more than 10 commands run\n");
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.status, 1);
}

TEST(ScriptHost, RepeatLimitRefusesTheWholeRepeat) {
    HostOptions options;
    options.maxRepeat = 5;
    Outcome run = RunText("repeat 6 do echo x\nrepeat 5 do echo y", options);
    EXPECT_EQ(run.out, "y\ny\ny\ny\ny\n");
    EXPECT_EQ(run.err, "t.tks:1: repeat 6: at most 5 here\n");
}

TEST(ScriptHost, FileAccessCanBeTurnedOff) {
    HostOptions options;
    options.fileAccess = false;
    Outcome run = RunText("new a OVAdd\nsave a x.bag\nload b OVAdd x.bag", options);
    EXPECT_EQ(run.err, "t.tks:2: file access is off\nt.tks:3: file access is off\n");
}

TEST(ScriptHost, QuitStopsTheRestCleanly) {
    Outcome run = RunText("echo a\nquit\necho b");
    EXPECT_EQ(run.out, "a\n");
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.status, 0);
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

TEST(ScriptHost, ClassesListEveryRow) {
    std::ostringstream out;
    PrintClasses(out);
    EXPECT_EQ(Lines(out.str()), ClassTable().size() + 1);
    for (const ClassEntry& c : ClassTable()) {
        EXPECT_NE(out.str().find(std::string(c.progId)), std::string::npos) << c.progId;
    }
}

// Every creatable class, whatever family it comes from, is reachable by each
// of its names and lists its members and events.
TEST(ScriptHost, EveryClassCreatesAndDescribesItself) {
    for (const ClassEntry& c : ClassTable()) {
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
}

TEST(ScriptHost, DispatchValuesNameScriptObjects) {
    Outcome run = RunText(
        "new a OVAdd\nnew b OVAdd\n"
        "set a.PlexaInfo(8) = variant[dispatch b, dispatch nothing]\n"
        "get a.PlexaInfo(8)\n"
        "on a.ErrorOut do set b.PlexaInfo(8) = $1\n"
        "call a.Operate()\n"
        "expect b.PlexaInfo(8) == dispatch a\n"
        // Cycles (a holds b holds a; c holds itself) are broken when the
        // objects are let go, replaced or at the end (the leak checker sees).
        "new c OVAdd\nset c.PlexaInfo(8) = dispatch c\nnew c OVAdd\n"
        "set c.PlexaInfo(8) = dispatch c\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "a.PlexaInfo(8) = variant[dispatch b, dispatch nothing]\na.Operate = r8 0\n");
}

}  // namespace
