#include "host/script_host.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <ostream>
#include <utility>

#include "framework/status.h"
#include "host/plot.h"
#include "module/class_table.h"
#include "platform/property_bag.h"
#include "platform/services.h"
#include "platform/value_text.h"

namespace {

std::string Hex(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(code));
    return text;
}

// The container side each object gets: its script name as display name, and
// run or design mode as created.
class ScriptSite final : public IControlSite {
  public:
    ScriptSite(std::string name, bool userMode) : name_(std::move(name)), userMode_(userMode) {}
    bool AmbientUserMode() const override { return userMode_; }
    std::string AmbientDisplayName() const override { return name_; }
    LCID AmbientLocaleID() const override { return LOCALE_USER_DEFAULT; }
    void OnBoundPropertyChanged(DISPID) override {}

  private:
    std::string name_;
    bool userMode_;
};

// Any object's dispatch interface as the single pointer identity the host and
// the blocks (which pass themselves in events and reports) agree on.
IDispatch* AsDispatch(COleControl* control) {
    return control;
}

std::string_view Or(std::string_view text, std::string_view fallback) {
    return text.empty() ? fallback : text;
}

}  // namespace

struct ScriptHost::Frame {
    std::span<const Variant> args;  // the arguments of the event being handled
};

struct ScriptHost::Object {
    struct Handler {
        DISPID event;
        CommandPtr body;
    };

    Object(std::string objectName, const ClassEntry& cls, bool design)
        : name(std::move(objectName)), entry(&cls), site(name, !design) {}
    ~Object() { Disconnect(); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // A control may outlive its record (held by another object, or by its own
    // call in progress): it must not keep the site or call the host any more.
    void Disconnect() {
        if (!control) return;
        if (cookie != 0) control->Unadvise(cookie);
        cookie = 0;
        control->SetClientSite(nullptr);
    }
    // Disconnects and resets the control before the record lets it go. Dispatch
    // values let a script build reference cycles (a block holding itself or
    // another in a property); a reset releases what a block holds and so breaks
    // them. Only between top-level commands: no block code may be running.
    void Close() {
        Disconnect();
        if (control) control->InitNew();
    }
    // "OBJ (CLASS)" for messages.
    std::string Label() const {
        return name + " (" + std::string(Or(entry->coclass, entry->className)) + ")";
    }

    std::string name;
    const ClassEntry* entry;
    ScriptSite site;
    ComPtr<COleControl> control;
    uint32_t cookie = 0;
    bool printEvents = false;
    std::vector<Handler> handlers;  // in declaration order; only ever appended to
};

ScriptHost::ScriptHost(std::ostream& out, std::ostream& err, HostOptions options)
    : out_(out), err_(err), options_(options) {}

ScriptHost::~ScriptHost() {
    if (reportsOn_) SetErrorReportObserver({});
    if (haltOn_) SetFiringHalted(false);
    for (auto& [name, object] : objects_)
        retired_.push_back(std::move(object));
    objects_.clear();
    CloseRetired();
}

// --- running lines ----------------------------------------------------------

void ScriptHost::RunScript(std::string_view text, std::string_view source) {
    source_ = source;
    // Every line is read before the first one runs, so a handler or a repeat
    // body is text no more when it runs.
    std::vector<ParsedLine> lines;
    int number = 0;
    while (!text.empty()) {
        size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(ParseLine(text.substr(0, end), ++number));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    lastLine_ = number;
    for (const ParsedLine& line : lines) {
        if (stopped_) break;
        RunParsed(line);
    }
}

void ScriptHost::RunLine(std::string_view line) {
    if (stopped_) return;
    RunParsed(ParseLine(line, ++lastLine_));
}

void ScriptHost::RunParsed(const ParsedLine& line) {
    if (!line.error.empty()) {
        Diagnose(line.number, line.error);
    } else if (line.command) {
        Run(*line.command, Frame{});
    }
    CloseRetired();
}

void ScriptHost::Run(const Command& command, const Frame& frame) {
    if (stopped_) return;
    if (++steps_ > options_.maxSteps) {
        stopped_ = true;
        Diagnose(command,
                 "stopped: more than " + std::to_string(options_.maxSteps) + " commands run");
        return;
    }
    // A command outside any handler starts with handlers allowed again.
    if (handlerDepth_ == 0) handlersStopped_ = false;
    try {
        std::visit([&](const auto& c) { Run(c, command, frame); }, command.body);
    } catch (const std::exception& e) {
        Diagnose(command, std::string("internal error: ") + e.what());
    } catch (...) {
        Diagnose(command, "internal error");
    }
}

// --- objects ----------------------------------------------------------------

std::shared_ptr<ScriptHost::Object> ScriptHost::Create(const std::string& name,
                                                       const std::string& className, bool design,
                                                       const Command& cmd) {
    const ClassEntry* entry = FindClass(className);
    if (entry == nullptr) {
        Diagnose(cmd, "unknown class `" + className + "` (classes lists them)");
        return nullptr;
    }
    auto object = std::make_shared<Object>(name, *entry, design);
    object->control = entry->create();
    if (!object->control) {
        Diagnose(cmd, "the class factory of " + className + " created nothing");
        return nullptr;
    }
    object->control->SetClientSite(&object->site);
    std::weak_ptr<Object> weak = object;
    object->cookie = object->control->Advise(ComPtr<IDispatch>(
        MakeCom<EventSink>([this, weak](DISPID event, std::span<const Variant> args) {
            if (auto self = weak.lock()) OnEvent(self, event, args);
        })));
    return object;
}

void ScriptHost::Install(std::shared_ptr<Object> object) {
    std::shared_ptr<Object>& slot = objects_[object->name];
    if (slot) {
        // The replaced object may be the one whose event is being handled:
        // it goes quiet now and is closed once the top-level command is done.
        slot->Disconnect();
        retired_.push_back(std::move(slot));
    }
    slot = std::move(object);
    ++generation_;
}

void ScriptHost::CloseRetired() {
    for (auto& object : std::exchange(retired_, {}))
        object->Close();
}

ScriptHost::Object* ScriptHost::Find(const std::string& name, const Command& cmd) {
    auto it = objects_.find(name);
    if (it != objects_.end()) return it->second.get();
    Diagnose(cmd, "unknown object `" + name + "`");
    return nullptr;
}

std::string ScriptHost::NameOf(IDispatch* dispatch) const {
    for (const auto& [name, object] : objects_) {
        if (AsDispatch(object->control.Get()) == dispatch) return name;
    }
    return "?";
}

std::string ScriptHost::Format(const Variant& value) const {
    return FormatValue(value, [this](IDispatch* d) { return NameOf(d); });
}

// --- members ----------------------------------------------------------------

bool ScriptHost::Resolve(const MemberRef& ref, const Command& cmd) {
    if (ref.cache.generation == generation_) return true;
    Object* object = Find(ref.object, cmd);
    if (object == nullptr) return false;
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = object->control->GetIDsOfNames(ref.member, &dispid);
    if (FAILED(hr)) {
        Refused(cmd, hr, object->Label() + " has no member " + ref.member);
        return false;
    }
    const DispatchTable* table = object->control->GetTypeInfo();
    ref.cache = {generation_, object, dispid, table != nullptr ? table->Find(dispid) : nullptr};
    return true;
}

bool ScriptHost::Access(const MemberRef& ref, uint16_t flags, Variant* value, Variant* result,
                        const Command& cmd, const Frame& frame) {
    std::array<Variant, kMaxParams + 1> args;
    size_t count = ref.args.size();
    for (size_t i = 0; i < count; ++i) {
        if (!Evaluate(ref.args[i], &args[i], cmd, frame)) return false;
    }
    if (!Resolve(ref, cmd)) return false;
    if (value != nullptr) args[count++] = std::move(*value);
    uint32_t argErr = 0;
    auto* object = static_cast<Object*>(ref.cache.object);
    HRESULT hr = object->control->Invoke(ref.cache.dispid, flags,
                                         std::span<Variant>(args.data(), count), result, &argErr);
    if (SUCCEEDED(hr)) return true;
    const MemberDesc* desc = ref.cache.desc;
    std::string detail;
    if (hr == DISP_E_BADPARAMCOUNT && desc != nullptr) {
        detail = std::string(desc->name) + " takes " + std::to_string(desc->paramCount) +
                 (desc->paramCount == 1 ? " argument" : " arguments");
    } else if (hr == DISP_E_TYPEMISMATCH && desc != nullptr) {
        bool isValue = value != nullptr && argErr + 1 == count;
        VARTYPE kind = isValue                     ? desc->putType
                       : argErr < desc->paramCount ? desc->paramTypes[argErr]
                                                   : VARTYPE{VT_EMPTY};
        detail = (isValue ? std::string("the value") : "argument " + std::to_string(argErr + 1)) +
                 " does not convert to " + std::string(Or(VarTypeName(kind), "its type"));
    }
    Refused(cmd, hr, detail);
    return false;
}

bool ScriptHost::Evaluate(const Operand& operand, Variant* out, const Command& cmd,
                          const Frame& frame) {
    switch (operand.kind) {
        case Operand::Kind::Literal: {
            if (!operand.namesObjects) {
                *out = operand.literal;
                return true;
            }
            std::string why;
            DispatchResolver resolve = [this](std::string_view name) {
                auto it = objects_.find(std::string(name));
                return it != objects_.end() ? ComPtr<IDispatch>(it->second->control)
                                            : ComPtr<IDispatch>();
            };
            if (ParseValue(operand.text, out, &why, resolve)) return true;
            Diagnose(cmd, "in `" + operand.text + "`: " + why);
            return false;
        }
        case Operand::Kind::Argument:
            if (static_cast<size_t>(operand.argument) > frame.args.size()) {
                Diagnose(cmd, operand.text + ": the event has " +
                                  std::to_string(frame.args.size()) + " arguments");
                return false;
            }
            *out = frame.args[static_cast<size_t>(operand.argument) - 1];
            return true;
        case Operand::Kind::Member:
            return Access(*operand.member, DISPATCH_PROPERTYGET, nullptr, out, cmd, frame);
    }
    return false;
}

std::string ScriptHost::Describe(const MemberRef& ref) const {
    std::string text = ref.object + ".";
    const MemberDesc* desc = ref.cache.generation == generation_ ? ref.cache.desc : nullptr;
    text += desc != nullptr ? std::string(desc->name) : ref.member;
    if (ref.args.empty()) return text;
    text += "(";
    for (size_t i = 0; i < ref.args.size(); ++i)
        text += (i ? ", " : "") + ref.args[i].text;
    return text + ")";
}

// --- events -----------------------------------------------------------------

void ScriptHost::OnEvent(const std::shared_ptr<Object>& object, DISPID event,
                         std::span<const Variant> args) {
    if (stopped_) return;
    if (object->printEvents) {
        const EventTable* events = object->control->GetEventInfo();
        const EventDesc* desc = events != nullptr ? events->Find(event) : nullptr;
        std::string line = object->name + "! ";
        line += desc != nullptr ? std::string(desc->name) : "event " + std::to_string(event);
        if (!args.empty()) {
            line += "(";
            for (size_t i = 0; i < args.size(); ++i)
                line += (i ? ", " : "") + Format(args[i]);
            line += ")";
        }
        out_ << line << '\n';
    }
    // By index: a handler may declare handlers (appended, first run at the
    // next delivery), and `object` keeps the list alive if it replaces OBJ.
    std::vector<Object::Handler>& handlers = object->handlers;
    for (size_t i = 0, n = handlers.size(); i < n && !stopped_; ++i) {
        if (handlers[i].event != event) continue;
        if (handlersStopped_) return;
        const Command& body = *handlers[i].body;
        if (handlerDepth_ >= options_.maxHandlerDepth) {
            handlersStopped_ = true;
            Diagnose(body, "handlers nest deeper than " + std::to_string(options_.maxHandlerDepth) +
                               " (handlers that start each other without end?): stopped");
            return;
        }
        ++handlerDepth_;
        Run(body, Frame{args});
        --handlerDepth_;
    }
}

// --- diagnostics ------------------------------------------------------------

void ScriptHost::Diagnose(int line, const std::string& message) {
    failed_ = true;
    err_ << source_ << ':' << line << ": " << message << '\n';
}

void ScriptHost::Diagnose(const Command& cmd, const std::string& message) {
    Diagnose(cmd.line, message);
}

void ScriptHost::Refused(const Command& cmd, HRESULT hr, const std::string& detail) {
    std::string text = StatusText(hr);
    out_ << "error " << Hex(hr) << ' ' << text << '\n';
    Diagnose(cmd, cmd.text + ": " + Hex(hr) + " " + text +
                      (detail.empty() ? std::string() : " (" + detail + ")"));
}

// --- the commands -----------------------------------------------------------

void ScriptHost::Run(const NewCommand& c, const Command& cmd, const Frame&) {
    std::shared_ptr<Object> object = Create(c.object, c.className, c.design, cmd);
    if (!object) return;
    object->control->InitNew();
    Install(std::move(object));
}

void ScriptHost::Run(const SetCommand& c, const Command& cmd, const Frame& frame) {
    Variant value;
    if (!Evaluate(c.value, &value, cmd, frame)) return;
    Access(c.target, DISPATCH_PROPERTYPUT, &value, nullptr, cmd, frame);
}

void ScriptHost::Run(const GetCommand& c, const Command& cmd, const Frame& frame) {
    Variant result;
    if (!Access(c.target, DISPATCH_PROPERTYGET, nullptr, &result, cmd, frame)) return;
    out_ << Describe(c.target) << " = " << Format(result) << '\n';
}

void ScriptHost::Run(const CallCommand& c, const Command& cmd, const Frame& frame) {
    Variant result;
    if (!Access(c.target, DISPATCH_METHOD, nullptr, &result, cmd, frame)) return;
    // The member table says whether the method returns anything.
    const MemberDesc* desc = c.target.cache.desc;
    if (desc != nullptr && desc->type == VT_EMPTY) return;
    std::string name = desc != nullptr ? std::string(desc->name) : c.target.member;
    out_ << c.target.object << '.' << name << " = " << Format(result) << '\n';
}

void ScriptHost::Run(const InvalidateCommand& c, const Command& cmd, const Frame& frame) {
    if (!Resolve(c.target, cmd)) return;
    Variant dispid = Variant::I4(c.target.cache.dispid);
    Access(c.invalidProperty, DISPATCH_PROPERTYPUT, &dispid, nullptr, cmd, frame);
}

void ScriptHost::Run(const EventsCommand& c, const Command& cmd, const Frame&) {
    if (Object* object = Find(c.object, cmd)) object->printEvents = c.on;
}

void ScriptHost::Run(const ReportsCommand& c, const Command&, const Frame&) {
    reportsOn_ = c.on;
    if (!c.on) {
        SetErrorReportObserver({});
        return;
    }
    SetErrorReportObserver([this](IDispatch* sender, int32_t code, const std::string& message) {
        // The message in the transcript's quoted-text form: that of a bstr value.
        std::string quoted = Format(Variant::Str(message));
        quoted.erase(0, quoted.find('"'));
        out_ << "report " << NameOf(sender) << ' ' << Hex(code) << ' ' << quoted << '\n';
    });
}

void ScriptHost::Run(const HaltCommand& c, const Command&, const Frame&) {
    haltOn_ = c.on;
    SetFiringHalted(c.on);
}

void ScriptHost::Run(const OnCommand& c, const Command& cmd, const Frame&) {
    Object* found = Find(c.object, cmd);
    if (found == nullptr) return;
    Object& object = *found;
    const EventTable* events = object.control->GetEventInfo();
    const EventDesc* event = events != nullptr ? events->Find(c.event) : nullptr;
    if (event == nullptr) {
        Diagnose(cmd, object.Label() + " has no event " + c.event);
        return;
    }
    if (static_cast<size_t>(c.highestArgument) > event->paramTypes.size()) {
        Diagnose(cmd, std::string(event->name) + " has " +
                          std::to_string(event->paramTypes.size()) + " arguments: $" +
                          std::to_string(c.highestArgument) + " does not exist");
        return;
    }
    object.handlers.push_back({event->dispid, c.body});
}

void ScriptHost::Run(const SaveCommand& c, const Command& cmd, const Frame&) {
    Object* object = Find(c.object, cmd);
    if (object == nullptr) return;
    if (!options_.fileAccess) {
        Diagnose(cmd, "file access is off");
        return;
    }
    PropertyBag bag;
    object->control->Save(bag);
    std::string why;
    if (!bag.SaveToFile(c.path, &why)) Diagnose(cmd, "cannot write " + why);
}

void ScriptHost::Run(const LoadCommand& c, const Command& cmd, const Frame&) {
    if (!options_.fileAccess) {
        Diagnose(cmd, "file access is off");
        return;
    }
    PropertyBag bag;
    std::string why;
    if (!PropertyBag::LoadFromFile(c.path, &bag, &why)) {
        Diagnose(cmd, "cannot read " + why);
        return;
    }
    std::shared_ptr<Object> object = Create(c.object, c.className, false, cmd);
    if (!object) return;
    object->control->Load(bag);
    Install(std::move(object));
}

void ScriptHost::Run(const ExpectCommand& c, const Command& cmd, const Frame& frame) {
    Variant actual, expected, tolerance;
    if (!Access(c.target, DISPATCH_PROPERTYGET, nullptr, &actual, cmd, frame) ||
        !Evaluate(c.expected, &expected, cmd, frame) ||
        (c.approximate && !Evaluate(c.tolerance, &tolerance, cmd, frame))) {
        return;
    }
    std::string failure = "expect failed: " + Describe(c.target) + " is " + Format(actual) +
                          ", expected " + Format(expected);
    if (!c.approximate) {
        if (!(actual == expected)) Diagnose(cmd, failure);
        return;
    }
    Variant a, e, t;
    if (FAILED(VariantChangeType(&a, &actual, 0, VT_R8)) ||
        FAILED(VariantChangeType(&e, &expected, 0, VT_R8)) ||
        FAILED(VariantChangeType(&t, &tolerance, 0, VT_R8))) {
        Diagnose(cmd, failure + " within " + Format(tolerance) + ": not numbers");
        return;
    }
    double x = a.dblVal(), y = e.dblVal();
    bool close = (std::isnan(x) && std::isnan(y)) || x == y || std::fabs(x - y) <= t.dblVal();
    if (!close) Diagnose(cmd, failure + " within " + Format(tolerance));
}

void ScriptHost::Run(const RepeatCommand& c, const Command& cmd, const Frame& frame) {
    if (c.count > options_.maxRepeat) {
        Diagnose(cmd, "repeat " + std::to_string(c.count) + ": at most " +
                          std::to_string(options_.maxRepeat) + " here");
        return;
    }
    for (uint64_t i = 0; i < c.count && !stopped_; ++i)
        Run(*c.body, frame);
}

void ScriptHost::Run(const EchoCommand& c, const Command& cmd, const Frame& frame) {
    std::string text;
    for (const EchoPiece& piece : c.pieces) {
        if (piece.argument == 0) {
            text += piece.text;
        } else if (static_cast<size_t>(piece.argument) <= frame.args.size()) {
            text += Format(frame.args[static_cast<size_t>(piece.argument) - 1]);
        } else {
            Diagnose(cmd, "$" + std::to_string(piece.argument) + ": the event has " +
                              std::to_string(frame.args.size()) + " arguments");
            return;
        }
    }
    out_ << text << '\n';
}

void ScriptHost::Run(const PlotCommand& c, const Command& cmd, const Frame& frame) {
    if (!options_.fileAccess) return Diagnose(cmd, "file access is off");
    Variant value;
    if (!Access(c.target, DISPATCH_PROPERTYGET, nullptr, &value, cmd, frame)) return;
    std::string why;
    if (!WritePlotFile(value, Describe(c.target), c.path, &why))
        Diagnose(cmd, "cannot plot " + why);
}

void ScriptHost::Run(const ClassesCommand&, const Command&, const Frame&) {
    PrintClasses(out_);
}

void ScriptHost::Run(const HelpCommand& c, const Command& cmd, const Frame&) {
    if (c.topic.empty()) {
        PrintCommands(out_);
        return;
    }
    auto it = objects_.find(c.topic);
    if (it != objects_.end()) {
        PrintMembers(out_, *it->second->control);
        return;
    }
    const ClassEntry* entry = FindClass(c.topic);
    ComPtr<COleControl> sample = entry != nullptr ? entry->create() : nullptr;
    if (!sample) {
        Diagnose(cmd, "help: no object or class `" + c.topic + "`");
        return;
    }
    PrintMembers(out_, *sample);
}

void ScriptHost::Run(const QuitCommand&, const Command&, const Frame&) {
    stopped_ = true;
}

// --- listings ---------------------------------------------------------------

void PrintClasses(std::ostream& out) {
    size_t progWidth = 6, coclassWidth = 7, classWidth = 5;
    for (const ClassEntry& c : ClassTable()) {
        progWidth = std::max(progWidth, c.progId.size());
        coclassWidth = std::max(coclassWidth, c.coclass.size());
        classWidth = std::max(classWidth, c.className.size());
    }
    auto row = [&](std::string_view prog, std::string_view coclass, std::string_view cls,
                   std::string_view registers) {
        out << prog << std::string(progWidth + 2 - prog.size(), ' ') << coclass
            << std::string(coclassWidth + 2 - coclass.size(), ' ') << cls
            << std::string(classWidth + 2 - cls.size(), ' ') << registers << '\n';
    };
    row("ProgID", "coclass", "class", "registers");
    for (const ClassEntry& c : ClassTable()) {
        row(c.progId, Or(c.coclass, "-"), c.className, c.registers ? "yes" : "no");
    }
}

void PrintCommands(std::ostream& out) {
    for (const CommandSyntax& c : CommandTable()) {
        out << "  " << c.usage << "\n      " << c.summary << '\n';
    }
}

void PrintMembers(std::ostream& out, COleControl& control) {
    auto params = [](std::span<const VARTYPE> types, std::span<const std::string_view> names) {
        std::string text = "(";
        for (size_t i = 0; i < types.size(); ++i) {
            text += (i ? ", " : "") +
                    std::string(i < names.size() && !names[i].empty() ? names[i] : "arg") + ": " +
                    std::string(VarTypeName(types[i]));
        }
        return text + ")";
    };
    if (const DispatchTable* members = control.GetTypeInfo()) {
        for (const MemberDesc* m : members->All()) {
            bool method = m->kind == MemberKind::Method;
            std::string line = method ? "  method " : "  property ";
            line += m->name;
            std::span<const VARTYPE> types(m->paramTypes.data(), m->paramCount);
            if (method || m->paramCount != 0) line += params(types, m->paramNames);
            if (m->type != VT_EMPTY) line += ": " + std::string(VarTypeName(m->type));
            if (!method && m->get == nullptr) line += ", write-only";
            if (!method && m->put == nullptr) line += ", read-only";
            if (m->hidden) line += ", hidden";
            out << line << "  -- " << m->help << '\n';
        }
    }
    if (const EventTable* events = control.GetEventInfo()) {
        for (const EventDesc* e : events->All()) {
            out << "  event " << e->name << params(e->paramTypes, e->paramNames) << "  -- "
                << e->help << '\n';
        }
    }
}
