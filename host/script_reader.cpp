#include "host/script_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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
    const CommandExtension* extension = nullptr;  // an added command being read
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
        return UnquotePath(rest, out);
    }
    // FILE followed by more words: a double-quoted string, or one word.
    bool PathWord(std::string* out) {
        SkipSpace();
        std::string_view tail = text.substr(pos);
        if (tail.empty()) return FailUsage();
        if (tail.front() != '"') {
            *out = Word();
            return true;
        }
        size_t close = ScanOutsideQuotes(tail, [](size_t, int) { return true; });
        // ScanOutsideQuotes stops at the first character after the quoted text.
        size_t length = close == npos ? tail.size() : close;
        if (!UnquotePath(tail.substr(0, length), out)) return false;
        pos += length;
        return true;
    }
    bool UnquotePath(std::string_view quoted, std::string* out) {
        Variant path;
        std::string why;
        if (!ParseValue(quoted, &path, &why) || path.vt() != VT_BSTR) {
            return Fail("malformed file name " + std::string(quoted) + ": " + why);
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
        if (rest[i] == '$' && i + 1 < rest.size() && IsIdentStart(rest[i + 1])) {
            size_t end = i + 1;
            while (end < rest.size() && IsIdentChar(rest[end]))
                ++end;
            if (!text.empty()) c.pieces.push_back({std::exchange(text, {}), 0, {}});
            c.pieces.push_back({{}, 0, std::string(rest.substr(i + 1, end - i - 1))});
            i = end - 1;
            continue;
        }
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
        if (!text.empty()) c.pieces.push_back({std::exchange(text, {}), 0, {}});
        c.pieces.push_back({{}, n, {}});
        s.highest = std::max(s.highest, n);
        i += digits;
    }
    if (!text.empty() || c.pieces.empty()) c.pieces.push_back({std::move(text), 0, {}});
    s.body = std::move(c);
    return true;
}

bool ParseExtension(ParseState& s) {
    ExtensionCommand c;
    c.extension = s.extension;
    while (!s.AtEnd()) {
        std::string word;
        if (!s.PathWord(&word)) return false;
        c.words.push_back(std::move(word));
    }
    if (c.words.size() < c.extension->minWords || c.words.size() > c.extension->maxWords) {
        return s.FailUsage();
    }
    s.body = std::move(c);
    return true;
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

template <bool Connect>
bool ParseConnect(ParseState& s) {
    ConnectCommand c;
    c.connect = Connect;
    if (!s.Member(&c.source)) return false;
    s.SkipSpace();
    if (s.text.substr(s.pos, 2) != "->") return s.FailUsage();
    s.pos += 2;
    if (!s.Member(&c.target) || !s.End()) return false;
    if (!c.source.args.empty() || !c.target.args.empty()) return s.FailUsage();
    s.body = std::move(c);
    return true;
}

bool ParseDiagram(ParseState& s) {
    s.body = DiagramCommand{};
    return s.End();
}

bool ParseStatus(ParseState& s) {
    StatusCommand c;
    c.object = s.Identifier();
    if (c.object.empty()) return s.FailUsage();
    s.body = std::move(c);
    return s.End();
}

bool ParseExport(ParseState& s) {
    ExportCommand c;
    if (!s.Member(&c.source)) return false;
    if (!s.Path(&c.path)) return false;
    s.body = std::move(c);
    return true;
}

// A number of a range as written: whether it is an integer, and its value.
bool RangeNumber(std::string_view text, double* value, bool* integral) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(*value)) {
        return false;
    }
    *integral = *integral && text.find_first_of(".eE") == npos;
    return true;
}

bool ParseFor(ParseState& s) {
    ForCommand c;
    c.variable = s.Identifier();
    if (c.variable.empty() || !s.Keyword("in")) return s.FailUsage();
    s.SkipSpace();
    const bool quoted = s.pos < s.text.size() && s.text[s.pos] == '"';
    std::string source;
    if (!s.PathWord(&source)) return false;
    size_t dots = source.find("..");
    if (!quoted && dots != npos && dots > 0) {
        c.range = true;
        std::string_view from = std::string_view(source).substr(0, dots);
        std::string_view to = std::string_view(source).substr(dots + 2);
        if (!RangeNumber(from, &c.from, &c.integral) || !RangeNumber(to, &c.to, &c.integral)) {
            return s.Fail("for: `" + source + "` is no range (FROM..TO, e.g. 1..10 or 0..1)");
        }
        c.step = c.from <= c.to ? 1 : -1;
        if (s.Keyword("step")) {
            std::string_view step = s.Word();
            if (!RangeNumber(step, &c.step, &c.integral) || c.step == 0 ||
                (c.step > 0) != (c.from <= c.to)) {
                return s.Fail("for: `" + std::string(step) + "` is no step from " +
                              std::string(from) + " to " + std::string(to));
            }
        }
    } else {
        c.range = false;
        // FILE:COLUMN; a colon that is part of the file name (c:\data.csv) comes
        // before the last path separator or right after a drive letter.
        size_t colon = source.rfind(':');
        size_t slash = source.find_last_of("/\\");
        if (quoted) {
            if (s.Consume(':')) c.column = s.Word();
        } else if (colon != npos && colon > 1 && (slash == npos || colon > slash)) {
            c.column = source.substr(colon + 1);
            source.resize(colon);
        }
        c.path = std::move(source);
    }
    if (!s.Body(s.inHandler, &c.body, &s.highest)) return false;
    s.body = std::move(c);
    return true;
}

constexpr CommandSyntax kBuiltInCommands[] = {
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
    {"help", "help [CLASS|OBJ]", "list the commands, or a class's members and events", &ParseHelp},
    {"quit", "quit", "stop the script", &ParseQuit},
    {"connect", "connect OBJ.OUTPUT -> OBJ.INPUT",
     "wire an output (a property, or an event whose first argument is the value) to an input: "
     "the host then invalidates, delivers and triggers on its own",
     &ParseConnect<true>},
    {"disconnect", "disconnect OBJ.OUTPUT -> OBJ.INPUT", "remove a wire", &ParseConnect<false>},
    {"diagram", "diagram", "list the wires in the order they were connected", &ParseDiagram},
    {"for", "for NAME in FROM..TO [step S] do COMMAND | for NAME in FILE[:COLUMN] do COMMAND",
     "run COMMAND for each number of the range, or each cell of a CSV column; $NAME is the value",
     &ParseFor},
    {"export", "export OBJ.MEMBER FILE", "write an array-valued member to a CSV file",
     &ParseExport},
    {"status", "status OBJ", "print OBJ's status code in hex and decimal with its message",
     &ParseStatus},
    {"notes", "notes on|off", "after a call that leaves a nonzero status, print a # status line",
     &ParseSwitchOnly<NotesCommand>},
};

bool ParseCommandText(std::string_view text, int line, bool inHandler, int depth, CommandPtr* out,
                      int* highest, std::string* error) {
    ParseState s;
    s.text = text;
    s.line = line;
    s.inHandler = inHandler;
    s.depth = depth;
    std::string_view keyword = s.Word();
    std::span<const CommandSyntax> commands = CommandTable();
    auto syntax = std::find_if(commands.begin(), commands.end(), [&](const CommandSyntax& c) {
        return NamesEqual(c.keyword, keyword);
    });
    if (syntax == commands.end()) {
        *error = "unknown command `" + std::string(keyword) + "` (help lists the commands)";
        return false;
    }
    s.usage = syntax->usage;
    s.extension = syntax->extension;
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
    if (text.size() > 1 && text[0] == '$' && IsIdentStart(text[1])) {
        if (!std::all_of(text.begin() + 1, text.end(), IsIdentChar)) {
            *error = "`" + std::string(text) + "` is no variable ($NAME)";
            return false;
        }
        out->kind = Operand::Kind::Variable;
        out->name = text.substr(1);
        return true;
    }
    if (text.size() > 4 && NamesEqual(text.substr(0, 3), "csv") && IsSpace(text[3])) {
        ParseState s;
        s.text = text.substr(4);
        s.usage = "csv FILE [COLUMN]";
        if (!s.PathWord(&out->name)) {
            *error = std::move(s.error);
            return false;
        }
        out->column = s.Rest();
        out->kind = Operand::Kind::Csv;
        return true;
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
        // A lone word that is no literal names an enumeration value.
        if (std::all_of(text.begin(), text.end(), IsIdentChar) && IsIdentStart(text[0])) {
            out->kind = Operand::Kind::Name;
            out->name = text;
            return true;
        }
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
    static const std::vector<CommandSyntax> table = [] {
        std::vector<CommandSyntax> all(std::begin(kBuiltInCommands), std::end(kBuiltInCommands));
        for (const CommandExtension& e : CommandExtensions())
            all.push_back({e.keyword, e.usage, e.summary, &ParseExtension, &e});
        return all;
    }();
    return table;
}
