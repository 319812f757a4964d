// The script reader: comments, top-level splitting, paths, handler arguments
// and the errors of malformed lines.
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

// The rest of every command's fields are read back by the transcripts.
TEST(ScriptReader, PathsAndCounts) {
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
