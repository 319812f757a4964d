#include "host/script_host.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <ostream>
#include <utility>

#include "framework/base_math_ctrl.h"
#include "framework/status.h"
#include "host/csv.h"
#include "host/host_files.h"
#include "host/script_object.h"
#include "host/value_compare.h"
#include "module/class_table.h"
#include "platform/property_bag.h"
#include "platform/services.h"
#include "platform/value_text.h"

std::string EscapeBytes(std::string_view text) {
    std::string escaped;
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F) {
            escaped += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            escaped += hex;
        }
    }
    return escaped;
}

std::string Hex(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(code));
    return text;
}

ScriptHost::ScriptHost(std::ostream& out, std::ostream& err, HostOptions options)
    : out_(out), err_(err), options_(options) {}

ScriptHost::~ScriptHost() {
    wires_.clear();
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
    // Editors on some systems start UTF-8 text with a byte-order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    // A script is text: a NUL byte near the start means a binary file was
    // given, and running its "lines" would only flood the diagnostics.
    constexpr size_t kSniffedBytes = 4096;
    if (size_t nul = text.substr(0, kSniffedBytes).find('\0'); nul != std::string_view::npos) {
        failed_ = true;
        err_ << EscapeBytes(source_) << ": not a script: binary data (a NUL byte at offset " << nul
             << ")\n";
        return;
    }
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
    runningLine_ = line.number;
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
        Unwire(*slot);
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
        case Operand::Kind::Variable: {
            auto it = variables_.find(operand.name);
            if (it != variables_.end()) {
                *out = it->second;
                return true;
            }
            Diagnose(cmd, operand.text + ": no such variable (for NAME in ... sets one)");
            return false;
        }
        case Operand::Kind::Name:
            return EnumValueOf(operand, nullptr, out, cmd);
        case Operand::Kind::Csv: {
            std::vector<std::string> cells;
            if (!ReadColumn(operand.name, operand.column, &cells, cmd)) return false;
            *out = CsvArray(cells);
            return true;
        }
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
    Deliver(*object, event, args);
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
    err_ << EscapeBytes(source_) << ':' << line << ": " << EscapeBytes(message) << '\n';
}

void ScriptHost::Warn(const Command& cmd, const std::string& message) {
    err_ << EscapeBytes(source_) << ':' << cmd.line << ": warning: " << EscapeBytes(message)
         << '\n';
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

bool ScriptHost::EvaluateFor(const MemberRef& target, const Operand& operand, Variant* out,
                             const Command& cmd, const Frame& frame) {
    if (operand.kind != Operand::Kind::Name) return Evaluate(operand, out, cmd, frame);
    return Resolve(target, cmd) && EnumValueOf(operand, target.cache.desc, out, cmd);
}

void ScriptHost::Run(const SetCommand& c, const Command& cmd, const Frame& frame) {
    Variant value;
    if (!EvaluateFor(c.target, c.value, &value, cmd, frame)) return;
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
    if (desc == nullptr || desc->type != VT_EMPTY) {
        std::string name = desc != nullptr ? std::string(desc->name) : c.target.member;
        out_ << c.target.object << '.' << name << " = " << Format(result) << '\n';
    }
    auto* object = static_cast<Object*>(c.target.cache.object);
    auto* block = notesOn_ ? dynamic_cast<COVBaseMathCtrl*>(object->control.Get()) : nullptr;
    if (block != nullptr && block->GetStatusCode() != 0) {
        out_ << "# status " << Hex(block->GetStatusCode()) << ' ' << block->StatusMessage() << '\n';
    }
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

// The property a saved file names its class by.
constexpr const char* kClassKey = "_Class";

void ScriptHost::Run(const SaveCommand& c, const Command& cmd, const Frame&) {
    Object* object = Find(c.object, cmd);
    if (object == nullptr) return;
    if (!options_.fileAccess) {
        Diagnose(cmd, "file access is off");
        return;
    }
    PropertyBag bag;
    bag.Write(kClassKey, Variant::Str(std::string(object->entry->progId)));
    object->control->Save(bag);
    std::string why;
    std::string path = HostFilePath(c.path, true, &why);
    if (path.empty() || !bag.SaveToFile(path, &why)) {
        // The bag names its temporary file; the user knows the file they gave.
        if (!path.empty()) why = c.path + why.substr(std::min(why.rfind(": "), why.size()));
        Diagnose(cmd, "cannot write " + why);
    }
}

void ScriptHost::Run(const LoadCommand& c, const Command& cmd, const Frame&) {
    if (!options_.fileAccess) {
        Diagnose(cmd, "file access is off");
        return;
    }
    PropertyBag bag;
    std::string text, why;
    if (!ReadHostFile(c.path, &text, &why)) {
        Diagnose(cmd, "cannot read " + why);
        return;
    }
    if (!PropertyBag::Parse(text, &bag, &why)) {
        Diagnose(cmd, "cannot read " + c.path + ": " + why);
        return;
    }
    std::shared_ptr<Object> object = Create(c.object, c.className, false, cmd);
    if (!object) return;
    object->control->Load(bag);
    CheckSaved(bag, *object, c.path, cmd);
    Install(std::move(object));
}

void ScriptHost::CheckSaved(const PropertyBag& bag, const Object& object, const std::string& path,
                            const Command& cmd) {
    const Variant* saved = bag.Read(kClassKey);
    const ClassEntry* from =
        saved != nullptr && saved->vt() == VT_BSTR ? FindClass(saved->bstrVal()) : nullptr;
    if (saved != nullptr && from != object.entry) {
        Warn(cmd, path + " was saved from " +
                      (saved->vt() == VT_BSTR ? saved->bstrVal() : Format(*saved)) +
                      ", loaded into " + std::string(object.entry->progId));
    }
    // What a new block of the class saves tells its keys and their kinds.
    ComPtr<COleControl> fresh = object.entry->create();
    if (!fresh) return;
    fresh->InitNew();
    PropertyBag known;
    fresh->Save(known);
    // Some keys exist only for some values (a lookup table's entries): what
    // the loaded block saves back knows those.
    PropertyBag kept;
    object.control->Save(kept, false);
    for (const PropertyBag::Property& p : bag.Properties()) {
        if (NamesEqual(p.name, kClassKey)) continue;
        const Variant* kind = known.Read(p.name);
        if (kind == nullptr) kind = kept.Read(p.name);
        Variant converted;
        if (kind == nullptr) {
            Warn(cmd, path + ": unknown key " + p.name + " (ignored)");
        } else if (FAILED(VariantChangeType(&converted, &p.value, 0, kind->vt()))) {
            Warn(cmd, path + ": " + p.name + " = " + Format(p.value) + " does not fit a " +
                          std::string(Or(VarTypeName(kind->vt()), "value")) +
                          " property (the default is kept)");
        }
    }
}

void ScriptHost::Run(const ExpectCommand& c, const Command& cmd, const Frame& frame) {
    Variant actual, expected, tolerance;
    if (!Access(c.target, DISPATCH_PROPERTYGET, nullptr, &actual, cmd, frame) ||
        !EvaluateFor(c.target, c.expected, &expected, cmd, frame) ||
        (c.approximate && !Evaluate(c.tolerance, &tolerance, cmd, frame))) {
        return;
    }
    std::string failure = "expect failed: " + Describe(c.target) + " is " + Format(actual) +
                          ", expected " + Format(expected);
    if (!c.approximate) {
        if (!(actual == expected)) Diagnose(cmd, failure);
        return;
    }
    Variant t;
    if (FAILED(VariantChangeType(&t, &tolerance, 0, VT_R8))) {
        Diagnose(cmd, failure + " within " + Format(tolerance) + ": no tolerance");
        return;
    }
    std::string why = ApproximateMismatch(actual, expected, t.dblVal());
    if (why.empty()) return;
    failure += " within " + Format(tolerance);
    Diagnose(cmd, why == "not within the tolerance" ? failure : failure + ": " + why);
}

void ScriptHost::Run(const RepeatCommand& c, const Command& cmd, const Frame& frame) {
    if (c.count > options_.maxRepeat) {
        Diagnose(cmd, "repeat " + std::to_string(c.count) + ": at most " +
                          std::to_string(options_.maxRepeat) + " here");
        return;
    }
    for (uint64_t i = 0; i < c.count && !stopped_ && !Cancelled(cmd); ++i)
        Run(*c.body, frame);
}

bool ScriptHost::Cancelled(const Command& cmd) {
    if (options_.cancel == nullptr || *options_.cancel == 0) return false;
    *options_.cancel = 0;
    Diagnose(cmd, "cancelled");
    return true;
}

void ScriptHost::Run(const EchoCommand& c, const Command& cmd, const Frame& frame) {
    std::string text;
    for (const EchoPiece& piece : c.pieces) {
        if (!piece.variable.empty()) {
            auto it = variables_.find(piece.variable);
            if (it == variables_.end()) {
                Diagnose(cmd,
                         "$" + piece.variable + ": no such variable (for NAME in ... sets one)");
                return;
            }
            text += Format(it->second);
        } else if (piece.argument == 0) {
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

class ScriptHost::Context final : public ScriptContext {
  public:
    Context(ScriptHost& host, const Command& cmd, const Frame& frame)
        : host_(host), cmd_(cmd), frame_(frame) {}
    std::ostream& Out() override { return host_.out_; }
    void Fail(const std::string& message) override { host_.Diagnose(cmd_, message); }
    COleControl* Object(const std::string& name) override {
        ScriptHost::Object* object = host_.Find(name, cmd_);
        return object != nullptr ? object->control.Get() : nullptr;
    }
    bool Read(std::string_view member, Variant* value) override {
        Operand operand;
        int highest = 0;
        std::string why;
        if (!ParseOperand(member, false, &operand, &highest, &why) ||
            operand.kind != Operand::Kind::Member) {
            Fail(why.empty() ? "`" + std::string(member) + "` is no OBJ.MEMBER" : why);
            return false;
        }
        return host_.Evaluate(operand, value, cmd_, frame_);
    }
    bool FileAccess() const override { return host_.options_.fileAccess; }

  private:
    ScriptHost& host_;
    const Command& cmd_;
    const Frame& frame_;
};

void ScriptHost::Run(const ExtensionCommand& c, const Command& cmd, const Frame& frame) {
    Context context(*this, cmd, frame);
    c.extension->run(context, c.words);
}

void ScriptHost::Run(const QuitCommand&, const Command&, const Frame&) {
    stopped_ = true;
}
