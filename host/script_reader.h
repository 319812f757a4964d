#pragma once
// The reader of the host's script language: each line of text becomes one
// Command, parsed once, so that running it again and again (under `repeat`, or
// inside an `on` handler) reads no text. The reader knows nothing of objects:
// names of objects and members are resolved by the host when a command runs,
// and the host caches what it resolved in the command itself (MemberCache).
//
// Syntax, one command per line, `#` to the end of the line is a comment
// (outside double-quoted text); keywords are case-insensitive, object names
// are case-sensitive identifiers, member names are resolved by the object:
//
//   new OBJ CLASS [design]            set OBJ.MEMBER[(ARG, ...)] = VALUE
//   get OBJ.MEMBER[(ARG, ...)]        call OBJ.METHOD[(ARG, ...)]
//   invalidate OBJ.MEMBER             events OBJ on|off
//   reports on|off                    halt on|off
//   on OBJ.EVENT do COMMAND           save OBJ FILE
//   load OBJ CLASS FILE               expect OBJ.MEMBER[(ARG, ...)] == VALUE
//   expect OBJ.MEMBER ~= VALUE TOL    repeat N do COMMAND
//   echo TEXT                         classes
//   help [CLASS|OBJ]                  quit
//   connect OBJ.OUT -> OBJ.IN         disconnect OBJ.OUT -> OBJ.IN
//   diagram                           status OBJ
//   notes on|off                      export OBJ.MEMBER FILE
//   for NAME in FROM..TO [step S] do COMMAND
//   for NAME in FILE[:COLUMN] do COMMAND
//
// A VALUE (and an ARG or TOL) is a typed value literal (ParseValue), `$N` (the
// N-th argument of the event being handled; only inside an `on` body), `$NAME`
// (the current value of a `for` variable), `csv FILE COLUMN` (a column of a
// CSV file as an array), `OTHER.MEMBER[(ARG, ...)]` (that member's value, read
// when the command runs) or a bare name (an enumeration value's name, looked up
// in the enumeration of the member being set or checked).
// In `echo`, `$NAME` and (inside an `on` body) `$N` are replaced by the value's
// typed form. FILE is a word, or a double-quoted string with C escapes; as the
// last word of a command it may also be the unquoted rest of the line.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/dispatch.h"
#include "platform/variant.h"

// What the host learnt when it resolved OBJ.MEMBER; trusted while the host's
// object generation equals `generation`. The reader leaves it unresolved.
struct MemberCache {
    uint64_t generation = 0;  // 0: never resolved
    void* object = nullptr;   // the host's record of OBJ
    DISPID dispid = DISPID_UNKNOWN;
    const MemberDesc* desc = nullptr;  // null when the object publishes no table
};

struct MemberRef;

// A value a command uses.
struct Operand {
    enum class Kind : uint8_t { Literal, Argument, Member, Variable, Name, Csv };
    Kind kind = Kind::Literal;
    Variant literal;                    // Literal
    bool namesObjects = false;          // Literal holding `dispatch OBJ`: parsed again when run
    int argument = 0;                   // Argument: 1-based
    std::shared_ptr<MemberRef> member;  // Member
    std::string name;                   // Variable, Name; Csv: the file
    std::string column;                 // Csv: header name or 1-based number (empty: the first)
    std::string text;                   // as written
};

// OBJ.MEMBER or OBJ.MEMBER(ARG, ...): at most kMaxParams arguments.
struct MemberRef {
    std::string object;
    std::string member;
    std::vector<Operand> args;
    mutable MemberCache cache;
};

struct Command;
using CommandPtr = std::shared_ptr<const Command>;

struct NewCommand {
    std::string object;
    std::string className;
    bool design = false;
};
struct SetCommand {
    MemberRef target;
    Operand value;
};
struct GetCommand {
    MemberRef target;
};
struct CallCommand {
    MemberRef target;
};
struct InvalidateCommand {
    MemberRef target;
    MemberRef invalidProperty;  // OBJ.InvalidProperty, which takes target's DISPID
};
struct EventsCommand {
    std::string object;
    bool on = false;
};
struct ReportsCommand {
    bool on = false;
};
struct HaltCommand {
    bool on = false;
};
struct OnCommand {
    std::string object;
    std::string event;
    int highestArgument = 0;  // largest $N the body uses (0: none)
    CommandPtr body;
};
struct SaveCommand {
    std::string object;
    std::string path;
};
struct LoadCommand {
    std::string object;
    std::string className;
    std::string path;
};
struct ExpectCommand {
    MemberRef target;
    bool approximate = false;  // `~=`: numbers within `tolerance`
    Operand expected;
    Operand tolerance;
};
struct RepeatCommand {
    uint64_t count = 0;
    CommandPtr body;
};
// Echo text in pieces: plain text, or the typed form of event argument `argument`.
struct EchoPiece {
    std::string text;
    int argument = 0;      // 0: plain text or a variable
    std::string variable;  // a `for` variable's name
};
struct EchoCommand {
    std::vector<EchoPiece> pieces;
};
// A command another file adds to the language (see CommandExtension).
struct ExtensionCommand {
    const struct CommandExtension* extension = nullptr;
    std::vector<std::string> words;  // after the keyword; quoted words unquoted
};
struct HelpCommand {
    std::string topic;  // empty: the command list
};
struct QuitCommand {};
// connect and disconnect: OUT is a property or an event of its object.
struct ConnectCommand {
    MemberRef source;
    MemberRef target;
    bool connect = true;
};
struct DiagramCommand {};
struct StatusCommand {
    std::string object;
};
struct NotesCommand {
    bool on = false;
};
struct ExportCommand {
    MemberRef source;
    std::string path;
};
struct ForCommand {
    std::string variable;
    // A range: from, from + step, ... up to and including `to`. Integers when
    // all three are written as integers (i4 values), otherwise doubles.
    bool range = true;
    double from = 0, to = 0, step = 1;
    bool integral = true;
    // Or the cells of one column of a CSV file.
    std::string path;
    std::string column;
    CommandPtr body;
};

using CommandBody =
    std::variant<NewCommand, SetCommand, GetCommand, CallCommand, InvalidateCommand, EventsCommand,
                 ReportsCommand, HaltCommand, OnCommand, SaveCommand, LoadCommand, ExpectCommand,
                 RepeatCommand, EchoCommand, ExtensionCommand, HelpCommand, QuitCommand,
                 ConnectCommand, DiagramCommand, StatusCommand, NotesCommand, ExportCommand,
                 ForCommand>;

struct Command {
    int line = 0;      // line number in its script (handler bodies: the `on` line)
    std::string text;  // the command as written, without comment
    CommandBody body;
};

// One line read: a command, an error, or neither (a blank or comment line).
struct ParsedLine {
    int number = 0;
    CommandPtr command;
    std::string error;  // what is wrong with the line; empty when it parsed
};

// Parses one line of script. Never fails otherwise: anything malformed comes
// back as `error` (unknown command, wrong word count, malformed value with the
// value reader's message, `$N` outside a handler, too deep nesting).
ParsedLine ParseLine(std::string_view text, int number);

// Parses one VALUE/ARG/TOL as written. `inHandler` allows `$N`; `*highest`
// takes the larger of itself and any N used. False with `*error` set when the
// text is no value.
bool ParseOperand(std::string_view text, bool inHandler, Operand* out, int* highest,
                  std::string* error);

// The line without its comment: text from the first `#` outside
// double-quoted text is dropped, and so is surrounding white space.
std::string_view StripComment(std::string_view line);

// The pieces of `text` between top-level `separator`s: separators inside
// double-quoted text (with backslash escapes), brackets or parentheses do not
// split. Pieces are trimmed. An empty text gives no pieces.
std::vector<std::string_view> SplitTopLevel(std::string_view text, char separator);

struct ParseState;    // the reader's cursor over one command
class ScriptContext;  // what an added command may use (host/script_host.h)

// A command added to the language from a file of its own, without touching
// the reader or the host: the reader splits its words (a double-quoted word
// with C escapes is one word), checks their count, and the host calls `run`.
// Each is one row of the list in host/script_extensions.cpp.
struct CommandExtension {
    std::string_view keyword;
    std::string_view usage;
    std::string_view summary;
    size_t minWords = 0;
    size_t maxWords = 0;
    void (*run)(ScriptContext& context, std::span<const std::string> words) = nullptr;
};
// Every added command, in the order of that list.
std::span<const CommandExtension> CommandExtensions();

// The language's commands: keyword, usage and what it does (help texts read
// these), and the parser of the words after the keyword; added commands last.
struct CommandSyntax {
    std::string_view keyword;
    std::string_view usage;
    std::string_view summary;
    bool (*parse)(ParseState& state);
    const CommandExtension* extension = nullptr;
};
std::span<const CommandSyntax> CommandTable();
