// The script reader: comments, top-level splitting, every command's shape,
// operands and the errors of malformed lines.
#include "host/script_reader.h"

#include <gtest/gtest.h>

#include <set>

namespace {

template <class C>
const C& Body(const ParsedLine& line) {
    EXPECT_TRUE(line.command) << line.error;
    static const C none{};
    if (!line.command || !std::holds_alternative<C>(line.command->body)) {
        ADD_FAILURE() << "wrong command kind";
        return none;
    }
    return std::get<C>(line.command->body);
}

TEST(ScriptReader, StripCommentKeepsHashesInsideQuotes) {
    struct Case {
        std::string_view line, stripped;
    };
    const Case cases[] = {
        {"set a.X = 1 # why", "set a.X = 1"},
        {"  # only a comment", ""},
        {"", ""},
        {"echo \"a # b\" # c", "echo \"a # b\""},
        {"echo \"a \\\" # b\"", "echo \"a \\\" # b\""},
        {"echo \"unterminated # b", "echo \"unterminated # b"},
        {"get a.X\r", "get a.X"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StripComment(c.line), c.stripped) << c.line;
}

TEST(ScriptReader, SplitTopLevelRespectsQuotesAndBrackets) {
    struct Case {
        std::string_view text;
        std::vector<std::string_view> pieces;
    };
    const Case cases[] = {
        {"1, 2", {"1", "2"}},
        {"  ", {}},
        {"r8[1, 2], \"a,b\"", {"r8[1, 2]", "\"a,b\""}},
        {"b.F(1, 2), r8[[1, 2], [3, 4]]", {"b.F(1, 2)", "r8[[1, 2], [3, 4]]"}},
        {"1,", {"1", ""}},
        {"\"\\\",\", 3", {"\"\\\",\"", "3"}},
        {"r8@1,3[[1, 2], [3, 4]], r8@5[1], 5", {"r8@1,3[[1, 2], [3, 4]]", "r8@5[1]", "5"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitTopLevel(c.text, ','), c.pieces) << c.text;
}

TEST(ScriptReader, CommandFields) {
    ParsedLine madeLine = ParseLine("new blk TALLYKIT.OVAddCtrl.1 design", 1);
    const auto& made = Body<NewCommand>(madeLine);
    EXPECT_EQ(made.object, "blk");
    EXPECT_EQ(made.className, "TALLYKIT.OVAddCtrl.1");
    EXPECT_TRUE(made.design);

    ParsedLine setLine = ParseLine("set a.PlexaInfo(i4 8) = bstr \"x = y\"", 1);
    const auto& set = Body<SetCommand>(setLine);
    EXPECT_EQ(set.target.object, "a");
    EXPECT_EQ(set.target.member, "PlexaInfo");
    ASSERT_EQ(set.target.args.size(), 1u);
    EXPECT_EQ(set.target.args[0].literal, Variant::I4(8));
    EXPECT_EQ(set.value.literal, Variant::Str("x = y"));

    ParsedLine invalidateLine = ParseLine("invalidate a.InputX", 1);
    const auto& invalidate = Body<InvalidateCommand>(invalidateLine);
    EXPECT_EQ(invalidate.invalidProperty.object, "a");
    EXPECT_EQ(invalidate.invalidProperty.member, "InvalidProperty");

    ParsedLine expectLine = ParseLine("expect a.V ~= bstr \"a b\" 0.5", 1);
    const auto& expect = Body<ExpectCommand>(expectLine);
    EXPECT_TRUE(expect.approximate);
    EXPECT_EQ(expect.expected.literal, Variant::Str("a b"));
    EXPECT_EQ(expect.tolerance.literal, Variant::R8(0.5));

    ParsedLine exactLine = ParseLine("expect a.V==r8[1, 2]", 1);
    const auto& exact = Body<ExpectCommand>(exactLine);
    EXPECT_FALSE(exact.approximate);
    EXPECT_EQ(exact.expected.text, "r8[1, 2]");

    EXPECT_EQ(Body<SaveCommand>(ParseLine("save a \"my file\\t.bag\"", 1)).path, "my file\t.bag");
    EXPECT_EQ(Body<SaveCommand>(ParseLine("save a  dir/a b.bag ", 1)).path, "dir/a b.bag");
    EXPECT_EQ(Body<RepeatCommand>(ParseLine("repeat 100000 do echo", 1)).count, 100000u);
    EXPECT_FALSE(Body<EventsCommand>(ParseLine("events a Off", 1)).on);
}

TEST(ScriptReader, HandlersCountTheArgumentsTheirBodiesUse) {
    struct Case {
        std::string_view line;
        int highest;
    };
    const Case cases[] = {
        {"on a.ControlOut do echo done", 0},
        {"on a.ErrorOut do set b.InputX = $2", 2},
        {"on a.ErrorOut do set b.PlexaInfo($1) = $3", 3},
        {"on a.ErrorOut do echo $1 and $12", 12},
        {"on a.ErrorOut do repeat 2 do set b.InputX = $2", 2},
        {"on a.ErrorOut do set b.InputX = c.PlexaInfo($2)", 2},
        // An inner handler's arguments are its own event's.
        {"on a.ControlOut do on b.ErrorOut do echo $3", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body<OnCommand>(ParseLine(c.line, 1)).highestArgument, c.highest) << c.line;
    }
}

TEST(ScriptReader, EchoSplitsArgumentsOnlyInsideHandlers) {
    ParsedLine plainLine = ParseLine("echo costs $5", 1);
    const auto& plain = Body<EchoCommand>(plainLine);
    ASSERT_EQ(plain.pieces.size(), 1u);
    EXPECT_EQ(plain.pieces[0].text, "costs $5");

    ParsedLine onLine = ParseLine("on a.ErrorOut do echo code $2!$ $", 1);
    const auto& on = Body<OnCommand>(onLine);
    const auto& echo = std::get<EchoCommand>(on.body->body);
    ASSERT_EQ(echo.pieces.size(), 3u);
    EXPECT_EQ(echo.pieces[0].text, "code ");
    EXPECT_EQ(echo.pieces[1].argument, 2);
    EXPECT_EQ(echo.pieces[2].text, "!$ $");
}

TEST(ScriptReader, Operands) {
    struct Case {
        std::string_view text;
        bool inHandler;
        Operand::Kind kind;
        int highest;
    };
    const Case cases[] = {
        {"5", false, Operand::Kind::Literal, 0},
        {" r8[1.5, 2.5] ", false, Operand::Kind::Literal, 0},
        {"$1", true, Operand::Kind::Argument, 1},
        {"$99", true, Operand::Kind::Argument, 99},
        {"b.Value", false, Operand::Kind::Member, 0},
        {"b.PlexaInfo(c.Value)", false, Operand::Kind::Member, 0},
        {"b.PlexaInfo($4)", true, Operand::Kind::Member, 4},
        {"dispatch b", false, Operand::Kind::Literal, 0},
        {"$level", false, Operand::Kind::Variable, 0},
        {"Greater_Than", false, Operand::Kind::Name, 0},
        {"true", false, Operand::Kind::Literal, 0},
        {"csv \"a b.csv\" Level", false, Operand::Kind::Csv, 0},
    };
    for (const Case& c : cases) {
        Operand op;
        int highest = 0;
        std::string error;
        ASSERT_TRUE(ParseOperand(c.text, c.inHandler, &op, &highest, &error)) << c.text << error;
        EXPECT_EQ(op.kind, c.kind) << c.text;
        EXPECT_EQ(highest, c.highest) << c.text;
    }
    Operand op;
    int highest = 0;
    std::string error;
    ASSERT_TRUE(ParseOperand("variant[dispatch b, i4 1]", false, &op, &highest, &error));
    EXPECT_TRUE(op.namesObjects);
    EXPECT_TRUE(op.literal.IsEmpty());  // named objects are looked up when it runs
    ASSERT_TRUE(ParseOperand("b.PlexaInfo(8, \"x\")", false, &op, &highest, &error));
    EXPECT_EQ(op.member->object, "b");
    ASSERT_EQ(op.member->args.size(), 2u);
    EXPECT_EQ(op.member->args[1].literal, Variant::Str("x"));
    ASSERT_TRUE(ParseOperand("csv \"a b.csv\" Level", false, &op, &highest, &error));
    EXPECT_EQ(op.name, "a b.csv");
    EXPECT_EQ(op.column, "Level");
}

TEST(ScriptReader, ForSourcesAndRanges) {
    struct Case {
        std::string_view line;
        bool range, integral;
        double from, to, step;
        std::string_view path, column;
    };
    const Case cases[] = {
        {"for i in 1..10 do echo", true, true, 1, 10, 1, "", ""},
        {"for i in 3..-3 do echo", true, true, 3, -3, -1, "", ""},
        {"for x in 0..1 step 0.1 do echo", true, false, 0, 1, 0.1, "", ""},
        {"for v in data.csv do echo", false, true, 0, 0, 1, "data.csv", ""},
        {"for v in data.csv:Level do echo", false, true, 0, 0, 1, "data.csv", "Level"},
        {"for v in c:\\logs\\t.csv:2 do echo", false, true, 0, 0, 1, "c:\\logs\\t.csv", "2"},
        {"for v in \"my data.csv\":3 do echo", false, true, 0, 0, 1, "my data.csv", "3"},
    };
    for (const Case& c : cases) {
        ParsedLine line = ParseLine(c.line, 1);
        const auto& loop = Body<ForCommand>(line);
        EXPECT_EQ(loop.range, c.range) << c.line;
        EXPECT_EQ(loop.path, c.path) << c.line;
        EXPECT_EQ(loop.column, c.column) << c.line;
        if (!c.range) continue;
        EXPECT_EQ(loop.integral, c.integral) << c.line;
        EXPECT_EQ(loop.from, c.from) << c.line;
        EXPECT_EQ(loop.to, c.to) << c.line;
        EXPECT_EQ(loop.step, c.step) << c.line;
    }
}

// More of them, with what the host then prints, are in the bad_lines transcript.
TEST(ScriptReader, MalformedLinesSayWhatIsWrong) {
    struct Case {
        std::string_view line, error;
    };
    const Case cases[] = {
        {"new a OVAdd later", "usage: new OBJ CLASS [design]"},
        {"new 1a OVAdd", "usage: new OBJ CLASS"},
        {"set a.X 5", "usage: set OBJ.MEMBER"},
        {"set a = 5", "usage: set OBJ.MEMBER"},
        {"set a.X =", "missing value"},
        {"on a.ControlOut do set b.X = $0", "`$0` is no event argument"},
        {"on a.ControlOut do set b.X = $100", "`$100` is no event argument"},
        {"get a.X(1", "missing `)`"},
        {"get a.X(1,)", "missing value"},
        {"invalidate a.X(1)", "usage: invalidate"},
        {"reports maybe", "usage: reports on|off"},
        {"on a do echo", "usage: on OBJ.EVENT do COMMAND"},
        {"on a.E echo", "usage: on OBJ.EVENT do COMMAND"},
        {"on a.E do", "usage: on OBJ.EVENT do COMMAND"},
        {"on a.E do frob", "unknown command `frob`"},
        {"repeat -1 do echo", "`-1` is no count"},
        {"repeat 99999999999999999999 do echo", "is no count"},
        {"repeat 2 echo", "usage: repeat N do COMMAND"},
        {"save a", "usage: save OBJ FILE"},
        {"save a \"x", "malformed file name"},
        {"expect a.X = 1", "usage: expect"},
        {"expect a.X ~= 1", "usage: expect"},
        {"quit now", "usage: quit"},
    };
    for (const Case& c : cases) {
        ParsedLine line = ParseLine(c.line, 1);
        EXPECT_FALSE(line.command) << c.line;
        EXPECT_NE(line.error.find(c.error), std::string::npos) << c.line << " gave: " << line.error;
    }
}

TEST(ScriptReader, NestingIsBounded) {
    std::string line = "echo x";
    for (int i = 0; i < 20; ++i)
        line = "repeat 1 do " + line;
    EXPECT_NE(ParseLine(line, 1).error.find("nest too deep"), std::string::npos);

    std::string value = "c.V";
    for (int i = 0; i < 20; ++i)
        value = "c.P(" + value + ")";
    EXPECT_NE(ParseLine("set a.X = " + value, 1).error.find("nest too deep"), std::string::npos);
}

}  // namespace
