#pragma once
// The script host: runs the script language (host/script_reader.h) against
// blocks created through the module's class table, reaching them only as any
// outside host would: dispatch by name and DISPID, event sinks, the control
// site, property exchange and the outside services.
//
// Output. Standard output (`out`) is the transcript: values read
// (`OBJ.MEMBER = TYPED`), method results, events (`OBJ! EVENT(ARG, ...)`),
// reports (`report OBJ 0xHHHHHHHH "MESSAGE"`), echo text, and
// `error 0xHHHHHHHH MESSAGE` for every call an object refused (MESSAGE is the
// platform's text for the code, "Unknown error" when it has none). Typed values
// are those of FormatValue, objects named by their script names.
//
// Diagnostics. Every bad line gives exactly one line on the diagnostic stream
// (`err`): `SOURCE:LINE: what went wrong`, LINE being the line of the command
// (for a handler body, the line of its `on`). Bad lines are those that do not
// parse (reported when the script reaches them), name an unknown object, class,
// member or event, cannot read or write their file, are refused by the object
// (also in the transcript, above), or fail an `expect`. The script goes on
// after each; ExitStatus() becomes 1.
//
// Objects. `new` (and `load`) over an existing name replaces that object: the
// old one is disconnected and its handlers and event printing go with it.
// Objects the script lets go (replaced ones after the command, all of them
// when the host ends) are reset before they are released, which breaks
// reference cycles built through dispatch values.
// Each object has a site of its own: display name = its script name, user mode
// = run mode unless created with `design`.
//
// Re-entrancy. Handlers run inside the event's delivery and may set inputs,
// call methods, create objects and declare handlers; a handler declared during
// a delivery first runs at the next one. Handlers that start each other
// without end stop at a nesting limit: one diagnostic, and no further handler
// runs until the top-level command that started them is done.
#include <csignal>
#include <cstdint>
#include <iosfwd>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/script_reader.h"
#include "platform/ole_control.h"
#include "platform/property_bag.h"

struct HostOptions {
    // `repeat` and `for` counts above this are refused (a diagnostic; the body does not run).
    uint64_t maxRepeat = std::numeric_limits<uint64_t>::max();
    // Commands run (handler bodies included) before the script is stopped.
    uint64_t maxSteps = std::numeric_limits<uint64_t>::max();
    // Handler deliveries nested inside one another.
    int maxHandlerDepth = 64;
    // Set (by a signal handler, say) to cancel the running `repeat` or `for`;
    // the host clears it when it stops the loop. Null: loops run to the end.
    volatile std::sig_atomic_t* cancel = nullptr;
    // Whether save, load, export and CSV reads may touch files (off: refused
    // with a diagnostic).
    bool fileAccess = true;
};

// What a command added from another file (CommandExtension) may use while it
// runs: the transcript, one diagnostic for its line, the script's objects and
// their members, and whether files may be touched.
class ScriptContext {
  public:
    virtual std::ostream& Out() = 0;
    // One diagnostic for the command's line; the script goes on, failed.
    virtual void Fail(const std::string& message) = 0;
    // The object the script calls `name`; null (diagnostic given) when none.
    virtual COleControl* Object(const std::string& name) = 0;
    // Reads OBJ.MEMBER (with arguments, as in `get`); false (transcript line
    // and diagnostic given) when the read fails.
    virtual bool Read(std::string_view member, Variant* value) = 0;
    virtual bool FileAccess() const = 0;

  protected:
    ~ScriptContext() = default;
};

class ScriptHost {
  public:
    ScriptHost(std::ostream& out, std::ostream& err, HostOptions options = {});
    // Disconnects every object; switches reports off and halt off if this host
    // switched them on.
    ~ScriptHost();
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    // Reads every line of `text` first, then runs the lines in order until the
    // end, `quit` or the step limit. Diagnostics name `source`.
    void RunScript(std::string_view text, std::string_view source);
    // Reads and runs one more line (the interactive prompt): lines count on from
    // the last one run, under the source name of the last RunScript ("<stdin>"
    // before any).
    void RunLine(std::string_view line);

    // What may complete `word`, the word being typed at the end of `line` (the
    // text before it): command keywords for the first word, members and events
    // after `OBJ.`, otherwise object names and class names (ProgIDs and
    // coclass names). Sorted, without duplicates.
    std::vector<std::string> Completions(std::string_view line, std::string_view word) const;

    // Whether `quit` ran or the step limit stopped the script.
    bool Stopped() const { return stopped_; }
    // 0 while every line ran clean; 1 after any bad line or failed expect.
    int ExitStatus() const { return failed_ ? 1 : 0; }

    struct Object;

  private:
    struct Frame;   // the event being handled, if any
    class Context;  // the ScriptContext of an added command

    void Run(const Command& command, const Frame& frame);
    void RunParsed(const ParsedLine& line);
    void Run(const NewCommand& c, const Command& cmd, const Frame& frame);
    void Run(const SetCommand& c, const Command& cmd, const Frame& frame);
    void Run(const GetCommand& c, const Command& cmd, const Frame& frame);
    void Run(const CallCommand& c, const Command& cmd, const Frame& frame);
    void Run(const InvalidateCommand& c, const Command& cmd, const Frame& frame);
    void Run(const EventsCommand& c, const Command& cmd, const Frame& frame);
    void Run(const ReportsCommand& c, const Command& cmd, const Frame& frame);
    void Run(const HaltCommand& c, const Command& cmd, const Frame& frame);
    void Run(const OnCommand& c, const Command& cmd, const Frame& frame);
    void Run(const SaveCommand& c, const Command& cmd, const Frame& frame);
    void Run(const LoadCommand& c, const Command& cmd, const Frame& frame);
    void Run(const ExpectCommand& c, const Command& cmd, const Frame& frame);
    void Run(const RepeatCommand& c, const Command& cmd, const Frame& frame);
    void Run(const EchoCommand& c, const Command& cmd, const Frame& frame);
    void Run(const ExtensionCommand& c, const Command& cmd, const Frame& frame);
    void Run(const HelpCommand& c, const Command& cmd, const Frame& frame);
    void Run(const QuitCommand& c, const Command& cmd, const Frame& frame);
    void Run(const ConnectCommand& c, const Command& cmd, const Frame& frame);
    void Run(const DiagramCommand& c, const Command& cmd, const Frame& frame);
    void Run(const StatusCommand& c, const Command& cmd, const Frame& frame);
    void Run(const NotesCommand& c, const Command& cmd, const Frame& frame);
    void Run(const ExportCommand& c, const Command& cmd, const Frame& frame);
    void Run(const ForCommand& c, const Command& cmd, const Frame& frame);
    // Whether a cancel request stops the loop of `cmd` (one diagnostic).
    bool Cancelled(const Command& cmd);
    // Runs `body` once with the variable `name` set to `value` (the variable
    // keeps it until the next round or the end of its loop).
    void RunRound(const std::string& name, Variant value, const Command& body, const Frame& frame);

    // Creates OBJ as an instance of CLASS with its site and event sink, but
    // does not initialise it; null (diagnostic given) for an unknown class.
    std::shared_ptr<Object> Create(const std::string& name, const std::string& className,
                                   bool design, const Command& cmd);
    // Makes `object` OBJ; an object it replaces is retired.
    void Install(std::shared_ptr<Object> object);
    // Closes and releases retired objects; only between top-level commands.
    void CloseRetired();
    Object* Find(const std::string& name, const Command& cmd);
    std::string NameOf(IDispatch* dispatch) const;

    // Resolves OBJ.MEMBER into ref.cache; false (diagnostic given) if unknown.
    bool Resolve(const MemberRef& ref, const Command& cmd);
    // Reads, writes or calls ref with its arguments; `value` is the new value
    // of a put (moved from). False (transcript line and diagnostic given) when
    // something failed.
    bool Access(const MemberRef& ref, uint16_t flags, Variant* value, Variant* result,
                const Command& cmd, const Frame& frame);
    bool Evaluate(const Operand& operand, Variant* out, const Command& cmd, const Frame& frame);
    // Evaluate, where a bare name is a value of `target`'s enumeration.
    bool EvaluateFor(const MemberRef& target, const Operand& operand, Variant* out,
                     const Command& cmd, const Frame& frame);
    std::string Describe(const MemberRef& ref) const;
    std::string Format(const Variant& value) const;

    void OnEvent(const std::shared_ptr<Object>& object, DISPID event,
                 std::span<const Variant> args);

    // The wires: what `connect` made, in connection order.
    struct Wire {
        Object* source;
        DISPID output;       // the property read, or DISPID_UNKNOWN for an event's value
        DISPID announcedBy;  // the event that delivers it
        Object* target;
        DISPID input;
        std::string text;  // "a.Value -> b.InputX"
    };
    // Puts `object` into wired mode with a wired trigger and `input` invalid.
    bool Invalidate(Object& object, DISPID input);
    // The host's part of the trigger protocol for one event of `object`:
    // delivers the wires it announces and, after a run (ControlOut), triggers
    // the blocks downstream and makes `object` wait for fresh inputs.
    void Deliver(Object& object, DISPID event, std::span<const Variant> args);
    void DeliverWires(Object& object, DISPID event, std::span<const Variant> args);
    // Puts `value` into object.member, reporting a refusal against `what`.
    bool Put(Object& object, DISPID member, Variant value, const std::string& what);
    // Drops every wire from or to `object`.
    void Unwire(const Object& object);
    // Warns about what a saved file holds that `object` will not take: another
    // class's record, unknown keys, values that do not fit.
    void CheckSaved(const PropertyBag& bag, const Object& object, const std::string& path,
                    const Command& cmd);
    // Reads a CSV column (`column`: header name, 1-based number, or empty for
    // the first) into `cells`; false with a diagnostic when it cannot.
    bool ReadColumn(const std::string& path, const std::string& column,
                    std::vector<std::string>* cells, const Command& cmd);
    // The name an enumeration value of `desc` goes by, for `operand` (a Name):
    // its value, or false with a diagnostic.
    bool EnumValueOf(const Operand& operand, const MemberDesc* desc, Variant* out,
                     const Command& cmd);

    void Diagnose(const Command& cmd, const std::string& message);
    void Diagnose(int line, const std::string& message);
    // A line on the diagnostic stream that does not fail the script.
    void Warn(const Command& cmd, const std::string& message);
    // The transcript's `error` line for a refused call, and its diagnostic.
    void Refused(const Command& cmd, HRESULT hr, const std::string& what);

    std::ostream& out_;
    std::ostream& err_;
    HostOptions options_;
    std::string source_ = "<stdin>";
    int lastLine_ = 0;
    std::unordered_map<std::string, std::shared_ptr<Object>> objects_;
    std::vector<std::shared_ptr<Object>> retired_;  // replaced, not yet closed
    uint64_t generation_ = 1;                       // changes whenever objects_ does
    uint64_t steps_ = 0;
    int handlerDepth_ = 0;
    bool handlersStopped_ = false;  // the nesting limit was hit in this command
    bool stopped_ = false;
    bool failed_ = false;
    bool reportsOn_ = false;
    bool haltOn_ = false;
    bool notesOn_ = false;
    std::vector<Wire> wires_;
    uint64_t wireGeneration_ = 0;  // changes whenever wires_ does
    std::unordered_map<std::string, Variant> variables_;
    int runningLine_ = 0;  // the top-level command running, for wire diagnostics
};

// `text` with control bytes (below 0x20, and 0x7F) written as \xHH, so that a
// diagnostic quoting a bad line cannot garble the terminal.
std::string EscapeBytes(std::string_view text);

// Lists every creatable class: ProgID, coclass name ("-" for none), class
// name, and whether it registers.
void PrintClasses(std::ostream& out);
// The command list of the script language with usages and summaries.
void PrintCommands(std::ostream& out);
// The forms a value takes in the script language.
void PrintValueSyntax(std::ostream& out);
// A class's members (kind, parameters, type, flags, help, the names of an
// enumeration's values) and events; either table may be null.
void PrintMembers(std::ostream& out, const DispatchTable* members, const EventTable* events);
