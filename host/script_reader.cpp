#include "host/script_reader.h"

#include <algorithm>
#include <charconv>

#include "platform/events.h"
#include "platform/value_text.h"

namespace {

constexpr size_t npos = std::string_view::npos;

// Handler bodies, repeat bodies and member reads inside arguments nest; a
// bound keeps a hostile line from recursing the reader (and later the host)
// arbitrarily deep.
constexpr int kMaxNesting = 8;
constexpr int kMaxArgument = 99;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Calls visit(i, depth) for each character of `s` outside double-quoted text,
// `depth` being the bracket nesting before it; returns the first index for
// which visit says true, or npos.
template <class Visit>
size_t ScanOutsideQuotes(std::string_view s, Visit visit) {
    int depth = 0;
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quoted) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                quoted = false;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            continue;
        }
        if (visit(i, depth)) return i;
        if (c == '(' || c == '[') {
            ++depth;
        } else if ((c == ')' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return npos;
}

// `$N` with N in 1..99, or 0 when `s` is not that.
int ArgumentNumber(std::string_view s) {
    if (s.size() < 2 || s.size() > 3 || s[0] != '$') return 0;
    int n = 0;
    for (char c : s.substr(1)) {
        if (!IsDigit(c)) return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Dispatch literals name objects that may not exist yet when a line is read.
// The reader checks their syntax against a stand-in and leaves the naming to
// the host at run time.
ComPtr<IDispatch> StandIn() {
    static const ComPtr<IDispatch> standIn(
        MakeCom<EventSink>([](DISPID, std::span<const Variant>) {}));
    return standIn;
}

bool ParseOperandAt(std::string_view text, bool inHandler, int depth, Operand* out, int* highest,
                    std::string* error);
bool ParseCommandText(std::string_view text, int line, bool inHandler, int depth, CommandPtr* out,
                      int* highest, std::string* error);

}  // namespace

// The cursor over one command's words.
struct ParseState {
    std::string_view text;
    size_t pos = 0;
    int line = 0;
    bool inHandler = false;
    int depth = 0;
    int highest = 0;  // largest $N met
    CommandBody body;
    std::string_view usage;
    std::string error;

    void SkipSpace() {
        while (pos < text.size() && IsSpace(text[pos]))
            ++pos;
    }
    bool AtEnd() {
        SkipSpace();
        return pos == text.size();
    }
    bool Fail(std::string message) {
        if (error.empty()) error = std::move(message);
        return false;
    }
    bool FailUsage() { return Fail("usage: " + std::string(usage)); }
    std::string_view Rest() {
        SkipSpace();
        std::string_view rest = Trim(text.substr(pos));
        pos = text.size();
        return rest;
    }
    std::string_view Identifier() {
        SkipSpace();
        size_t start = pos;
        if (pos < text.size() && IsIdentStart(text[pos])) {
            while (pos < text.size() && IsIdentChar(text[pos]))
                ++pos;
        }
        return text.substr(start, pos - start);
    }
    std::string_view Word() {
        SkipSpace();
        size_t start = pos;
        while (pos < text.size() && !IsSpace(text[pos]))
            ++pos;
        return text.substr(start, pos - start);
    }
    // Consumes `keyword` (any case) when it is the next whole word.
    bool Keyword(std::string_view keyword) {
        SkipSpace();
        std::string_view next = text.substr(pos, keyword.size());
        size_t after = pos + keyword.size();
        if (!NamesEqual(next, keyword) || (after < text.size() && !IsSpace(text[after]))) {
            return false;
        }
        pos = after;
        return true;
    }
    bool Consume(char c) {
        SkipSpace();
        if (pos == text.size() || text[pos] != c) return false;
        ++pos;
        return true;
    }
    bool End() { return AtEnd() || FailUsage(); }

    bool Value(std::string_view source, Operand* out) {
        return ParseOperandAt(source, inHandler, depth, out, &highest, &error);
    }
    // OBJ.MEMBER with optional (ARG, ...).
    bool Member(MemberRef* out) {
        std::string_view object = Identifier();
        if (object.empty() || !Consume('.')) return FailUsage();
        std::string_view member = Identifier();
        if (member.empty()) return FailUsage();
        out->object = object;
        out->member = member;
        if (pos == text.size() || text[pos] != '(') return true;
        std::string_view tail = text.substr(pos);
        size_t close = ScanOutsideQuotes(
            tail, [&](size_t i, int level) { return i > 0 && level == 1 && tail[i] == ')'; });
        if (close == npos) return Fail("missing `)` after the arguments of " + std::string(member));
        pos += close + 1;
        if (depth >= kMaxNesting) return Fail("member reads nest too deep");
        std::vector<std::string_view> args = SplitTopLevel(tail.substr(1, close - 1), ',');
        if (args.size() > kMaxParams) {
            return Fail(std::string(member) + ": at most " + std::to_string(kMaxParams) +
                        " arguments");
        }
        out->args.resize(args.size());
        ++depth;
        bool ok = true;
        for (size_t i = 0; i < args.size() && ok; ++i)
            ok = Value(args[i], &out->args[i]);
        --depth;
        return ok;
    }
    bool Switch(bool* on) {
        if (Keyword("on")) {
            *on = true;
        } else if (Keyword("off")) {
            *on = false;
        } else {
            return FailUsage();
        }
        return End();
    }
    bool Path(std::string* out) {
        std::string_view rest = Rest();
        if (rest.empty()) return FailUsage();
        if (rest.front() != '"') {
            *out = rest;
            return true;
        }
        Variant path;
        std::string why;
        if (!ParseValue(rest, &path, &why) || path.vt() != VT_BSTR) {
            return Fail("malformed file name " + std::string(rest) + ": " + why);
        }
        *out = path.bstrVal();
        return true;
    }
    // `do COMMAND`: the rest of the line is a command of its own.
    bool Body(bool handler, CommandPtr* out, int* highest) {
        if (!Keyword("do")) return FailUsage();
        std::string_view rest = Rest();
        if (rest.empty()) return FailUsage();
        if (depth >= kMaxNesting) return Fail("commands nest too deep");
        return ParseCommandText(rest, line, handler, depth + 1, out, highest, &error);
    }
};

namespace {

bool ParseNew(ParseState& s) {
    NewCommand c;
    c.object = s.Identifier();
    c.className = s.Word();
    if (c.object.empty() || c.className.empty()) return s.FailUsage();
    c.design = s.Keyword("design");
    s.body = std::move(c);
    return s.End();
}

bool ParseSet(ParseState& s) {
    SetCommand c;
    if (!s.Member(&c.target)) return false;
    if (!s.Consume('=')) return s.FailUsage();
    if (!s.Value(s.Rest(), &c.value)) return false;
    s.body = std::move(c);
    return true;
}

template <class C>
bool ParseMemberOnly(ParseState& s) {
    C c;
    if (!s.Member(&c.target) || !s.End()) return false;
    s.body = std::move(c);
    return true;
}

bool ParseInvalidate(ParseState& s) {
    InvalidateCommand c;
    if (!s.Member(&c.target) || !s.End()) return false;
    if (!c.target.args.empty()) return s.FailUsage();
    c.invalidProperty.object = c.target.object;
    c.invalidProperty.member = "InvalidProperty";
    s.body = std::move(c);
    return true;
}

bool ParseEvents(ParseState& s) {
    EventsCommand c;
    c.object = s.Identifier();
    if (c.object.empty()) return s.FailUsage();
    if (!s.Switch(&c.on)) return false;
    s.body = std::move(c);
    return true;
}

template <class C>
bool ParseSwitchOnly(ParseState& s) {
    C c;
    if (!s.Switch(&c.on)) return false;
    s.body = std::move(c);
    return true;
}

bool ParseOn(ParseState& s) {
    OnCommand c;
    c.object = s.Identifier();
    if (c.object.empty() || !s.Consume('.')) return s.FailUsage();
    c.event = s.Identifier();
    if (c.event.empty()) return s.FailUsage();
    // $N in the body are this event's arguments, not those of an enclosing one.
    if (!s.Body(true, &c.body, &c.highestArgument)) return false;
    s.body = std::move(c);
    return true;
}

bool ParseSave(ParseState& s) {
    SaveCommand c;
    c.object = s.Identifier();
    if (c.object.empty()) return s.FailUsage();
    if (!s.Path(&c.path)) return false;
    s.body = std::move(c);
    return true;
}

bool ParsePlot(ParseState& s) {
    PlotCommand c;
    if (!s.Member(&c.target) || !s.Path(&c.path)) return false;
    s.body = std::move(c);
    return true;
}

bool ParseLoad(ParseState& s) {
    LoadCommand c;
    c.object = s.Identifier();
    c.className = s.Word();
    if (c.object.empty() || c.className.empty()) return s.FailUsage();
    if (!s.Path(&c.path)) return false;
    s.body = std::move(c);
    return true;
}

bool ParseExpect(ParseState& s) {
    ExpectCommand c;
    if (!s.Member(&c.target)) return false;
    s.SkipSpace();
    std::string_view op = s.text.substr(s.pos, 2);
    if (op != "==" && op != "~=") return s.FailUsage();
    s.pos += 2;
    c.approximate = op == "~=";
    std::string_view rest = s.Rest();
    if (c.approximate) {
        size_t split = npos;
        ScanOutsideQuotes(rest, [&](size_t i, int depth) {
            if (depth == 0 && IsSpace(rest[i])) split = i;
            return false;
        });
        if (split == npos) return s.FailUsage();
        if (!s.Value(rest.substr(split), &c.tolerance)) return false;
        rest = rest.substr(0, split);
    }
    if (!s.Value(rest, &c.expected)) return false;
    s.body = std::move(c);
    return true;
}

bool ParseRepeat(ParseState& s) {
    RepeatCommand c;
    std::string_view count = s.Word();
    auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), c.count);
    if (count.empty() || ec != std::errc() || end != count.data() + count.size()) {
        return s.Fail("repeat: `" + std::string(count) + "` is no count (0 or more)");
    }
    // The body sees the same $N as the repeat itself.
    if (!s.Body(s.inHandler, &c.body, &s.highest)) return false;
    s.body = std::move(c);
    return true;
}

bool ParseEcho(ParseState& s) {
    EchoCommand c;
    std::string_view rest = s.Rest();
    std::string text;
    for (size_t i = 0; i < rest.size(); ++i) {
        size_t digits = 0;
        if (s.inHandler && rest[i] == '$') {
            while (i + 1 + digits < rest.size() && digits < 2 && IsDigit(rest[i + 1 + digits])) {
                ++digits;
            }
        }
        int n = ArgumentNumber(rest.substr(i, 1 + digits));
        if (n == 0) {
            text += rest[i];
            continue;
        }
        if (!text.empty()) c.pieces.push_back({std::exchange(text, {}), 0});
        c.pieces.push_back({{}, n});
        s.highest = std::max(s.highest, n);
        i += digits;
    }
    if (!text.empty() || c.pieces.empty()) c.pieces.push_back({std::move(text), 0});
    s.body = std::move(c);
    return true;
}

bool ParseClasses(ParseState& s) {
    s.body = ClassesCommand{};
    return s.End();
}

bool ParseHelp(ParseState& s) {
    HelpCommand c;
    c.topic = s.Word();
    s.body = std::move(c);
    return s.End();
}

bool ParseQuit(ParseState& s) {
    s.body = QuitCommand{};
    return s.End();
}

constexpr CommandSyntax kCommands[] = {
    {"new", "new OBJ CLASS [design]",
     "create a block (CLASS: ProgID, coclass or class name), reset as new; `design`: the "
     "container is in design mode",
     &ParseNew},
    {"set", "set OBJ.MEMBER[(ARG, ...)] = VALUE", "property put", &ParseSet},
    {"get", "get OBJ.MEMBER[(ARG, ...)]", "property get; prints OBJ.MEMBER = VALUE",
     &ParseMemberOnly<GetCommand>},
    {"call", "call OBJ.METHOD[(ARG, ...)]", "method call; prints the value it returns",
     &ParseMemberOnly<CallCommand>},
    {"invalidate", "invalidate OBJ.MEMBER", "puts InvalidProperty with that member's DISPID",
     &ParseInvalidate},
    {"events", "events OBJ on|off", "print OBJ's events as OBJ! EVENT(ARG, ...)", &ParseEvents},
    {"reports", "reports on|off",
     "print reports to the error service as report OBJ 0xCODE \"MESSAGE\"",
     &ParseSwitchOnly<ReportsCommand>},
    {"halt", "halt on|off", "halt event firing", &ParseSwitchOnly<HaltCommand>},
    {"on", "on OBJ.EVENT do COMMAND",
     "run COMMAND in each delivery of the event; $1 ... $N are its arguments", &ParseOn},
    {"save", "save OBJ FILE", "save OBJ's persisted properties to FILE", &ParseSave},
    {"load", "load OBJ CLASS FILE", "create OBJ and load its properties from FILE", &ParseLoad},
    {"expect", "expect OBJ.MEMBER == VALUE | expect OBJ.MEMBER ~= VALUE TOL",
     "fail the script unless the member equals VALUE (same kind and value), or is a number "
     "within TOL of it",
     &ParseExpect},
    {"repeat", "repeat N do COMMAND", "run COMMAND N times", &ParseRepeat},
    {"echo", "echo TEXT", "print TEXT", &ParseEcho},
    {"plot", "plot OBJ.MEMBER FILE", "draw an array-valued member as an SVG chart into FILE",
     &ParsePlot},
    {"classes", "classes", "list the creatable classes", &ParseClasses},
    {"help", "help [CLASS|OBJ]", "list the commands, or a class's members and events", &ParseHelp},
    {"quit", "quit", "stop the script", &ParseQuit},
};

bool ParseCommandText(std::string_view text, int line, bool inHandler, int depth, CommandPtr* out,
                      int* highest, std::string* error) {
    ParseState s;
    s.text = text;
    s.line = line;
    s.inHandler = inHandler;
    s.depth = depth;
    std::string_view keyword = s.Word();
    auto syntax =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [&](const CommandSyntax& c) { return NamesEqual(c.keyword, keyword); });
    if (syntax == std::end(kCommands)) {
        *error = "unknown command `" + std::string(keyword) + "` (help lists the commands)";
        return false;
    }
    s.usage = syntax->usage;
    if (!syntax->parse(s)) {
        *error = std::move(s.error);
        return false;
    }
    *highest = std::max(*highest, s.highest);
    auto command = std::make_shared<Command>();
    command->line = line;
    command->text = text;
    command->body = std::move(s.body);
    *out = std::move(command);
    return true;
}

// OBJ.MEMBER... at the start: an identifier right before a dot. No literal
// starts like that, so this alone tells member reads from literals.
bool LooksLikeMember(std::string_view text) {
    size_t i = 0;
    if (text.empty() || !IsIdentStart(text[0])) return false;
    while (i < text.size() && IsIdentChar(text[i]))
        ++i;
    return i < text.size() && text[i] == '.';
}

bool ParseOperandAt(std::string_view text, bool inHandler, int depth, Operand* out, int* highest,
                    std::string* error) {
    text = Trim(text);
    out->text = text;
    if (text.empty()) {
        *error = "missing value";
        return false;
    }
    if (text[0] == '$') {
        int n = ArgumentNumber(text);
        if (n == 0 || n > kMaxArgument) {
            *error = "`" + std::string(text) + "` is no event argument ($1 ... $99)";
            return false;
        }
        if (!inHandler) {
            *error = std::string(text) + " is an event argument: it exists only inside `on ... do`";
            return false;
        }
        out->kind = Operand::Kind::Argument;
        out->argument = n;
        *highest = std::max(*highest, n);
        return true;
    }
    if (LooksLikeMember(text)) {
        ParseState s;
        s.text = text;
        s.inHandler = inHandler;
        s.depth = depth + 1;
        s.usage = "OBJ.MEMBER[(ARG, ...)]";
        auto member = std::make_shared<MemberRef>();
        if (depth >= kMaxNesting) {
            *error = "member reads nest too deep";
            return false;
        }
        if (!s.Member(member.get()) || !s.End()) {
            *error = std::move(s.error);
            return false;
        }
        *highest = std::max(*highest, s.highest);
        out->kind = Operand::Kind::Member;
        out->member = std::move(member);
        return true;
    }
    bool namesObjects = false;
    std::string why;
    DispatchResolver standIn = [&](std::string_view) {
        namesObjects = true;
        return StandIn();
    };
    if (!ParseValue(text, &out->literal, &why, standIn)) {
        *error = "malformed value `" + std::string(text) + "`: " + why;
        return false;
    }
    out->kind = Operand::Kind::Literal;
    out->namesObjects = namesObjects;
    if (namesObjects) out->literal.Clear();
    return true;
}

}  // namespace

std::string_view StripComment(std::string_view line) {
    size_t hash = ScanOutsideQuotes(line, [&](size_t i, int) { return line[i] == '#'; });
    return Trim(line.substr(0, hash));
}

std::vector<std::string_view> SplitTopLevel(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    if (Trim(text).empty()) return pieces;
    size_t start = 0;
    // The lower bounds of an array literal ("r8@1,3[...]") hold commas of their own.
    bool inBounds = false;
    ScanOutsideQuotes(text, [&](size_t i, int depth) {
        if (depth == 0 && text[i] == '@') inBounds = true;
        if (text[i] == '[') inBounds = false;
        if (depth == 0 && !inBounds && text[i] == separator) {
            pieces.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        }
        return false;
    });
    pieces.push_back(Trim(text.substr(start)));
    return pieces;
}

bool ParseOperand(std::string_view text, bool inHandler, Operand* out, int* highest,
                  std::string* error) {
    return ParseOperandAt(text, inHandler, 0, out, highest, error);
}

ParsedLine ParseLine(std::string_view text, int number) {
    ParsedLine parsed;
    parsed.number = number;
    std::string_view command = StripComment(text);
    if (command.empty()) return parsed;
    int highest = 0;
    ParseCommandText(command, number, false, 0, &parsed.command, &highest, &parsed.error);
    return parsed;
}

std::span<const CommandSyntax> CommandTable() {
    return kCommands;
}
