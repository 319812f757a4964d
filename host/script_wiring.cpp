// Wires between blocks: the host's side of the wired-mode trigger protocol.
//
// A block with a wired input waits in wired mode with a wired trigger: the
// wired inputs and ControlIn are invalid until a run delivers them. When a
// block announces an output (StatusReady for a property: the results of the
// run are ready; or the output's own event), the host reads it and puts it
// into every input wired to it. After the run (ControlOut) the host puts
// ControlIn into every block downstream, which computes once all its wired
// inputs have arrived, and invalidates the block's own wired inputs again so
// that its next run waits for fresh values. A run that delivers nothing on a
// wire leaves the blocks behind it waiting: a failure announces no results,
// and an output group the block declares empty fires no event of its own.
#include <algorithm>

#include "framework/base_math_ctrl.h"
#include "framework/status.h"
#include "host/script_object.h"

namespace {

constexpr DISPID kEventStatusReady = EVENTID_STATUSREADY;
constexpr DISPID kEventControlOut = EVENTID_CONTROLOUT;

}  // namespace

bool ScriptHost::Put(Object& object, DISPID member, Variant value, const std::string& what) {
    Variant args[] = {std::move(value)};
    HRESULT hr = object.control->Invoke(member, DISPATCH_PROPERTYPUT, args, nullptr);
    if (SUCCEEDED(hr)) return true;
    out_ << "error " << Hex(hr) << ' ' << StatusText(hr) << '\n';
    Diagnose(runningLine_, what + ": " + Hex(hr) + " " + StatusText(hr));
    return false;
}

bool ScriptHost::Invalidate(Object& object, DISPID input) {
    return Put(object, DISPID_INVALIDPROPERTY, Variant::I4(input), object.name + ": invalidate") &&
           Put(object, DISPID_INVALIDPROPERTY, Variant::I4(DISPID_CONTROLIN),
               object.name + ": invalidate");
}

void ScriptHost::Run(const ConnectCommand& c, const Command& cmd, const Frame&) {
    Object* source = Find(c.source.object, cmd);
    Object* target = source != nullptr ? Find(c.target.object, cmd) : nullptr;
    if (target == nullptr) return;
    // The output: an event with the value as its first argument (or none, for
    // a bare signal), else a property read when the run's results are ready.
    Wire wire{source, DISPID_UNKNOWN, kEventStatusReady, target, DISPID_UNKNOWN, {}};
    const EventTable* events = source->control->GetEventInfo();
    const EventDesc* event = events != nullptr ? events->Find(c.source.member) : nullptr;
    std::string outputName;
    if (event != nullptr && event->dispid >= 6) {
        wire.announcedBy = event->dispid;
        outputName = event->name;
    } else if (HRESULT hr = source->control->GetIDsOfNames(c.source.member, &wire.output);
               FAILED(hr)) {
        Refused(cmd, hr, source->Label() + " has no output " + c.source.member);
        return;
    } else {
        const DispatchTable* table = source->control->GetTypeInfo();
        const MemberDesc* desc = table != nullptr ? table->Find(wire.output) : nullptr;
        outputName = desc != nullptr ? std::string(desc->name) : c.source.member;
    }
    if (HRESULT hr = target->control->GetIDsOfNames(c.target.member, &wire.input); FAILED(hr)) {
        Refused(cmd, hr, target->Label() + " has no input " + c.target.member);
        return;
    }
    const DispatchTable* table = target->control->GetTypeInfo();
    const MemberDesc* input = table != nullptr ? table->Find(wire.input) : nullptr;
    wire.text = source->name + "." + outputName + " -> " + target->name + "." +
                (input != nullptr ? std::string(input->name) : c.target.member);
    auto same = std::find_if(wires_.begin(), wires_.end(),
                             [&](const Wire& w) { return w.text == wire.text; });
    if (!c.connect) {
        if (same == wires_.end()) {
            Diagnose(cmd, "no wire " + wire.text + " (diagram lists them)");
            return;
        }
        wires_.erase(same);
        ++wireGeneration_;
        // The input no longer waits for a wire; a block fed by no wire at all
        // leaves wired mode and computes when its inputs are put again.
        bool stillFed = std::any_of(wires_.begin(), wires_.end(),
                                    [&](const Wire& w) { return w.target == target; });
        for (DISPID dispid : {wire.input, stillFed ? wire.input : DISPID_CONTROLIN}) {
            Variant args[] = {Variant::I4(dispid), Variant::Bool(true)};
            target->control->Invoke(DISPID_PROPERTYVALID, DISPATCH_PROPERTYPUT, args, nullptr);
        }
        if (!stillFed) {
            for (int32_t index : {5, 6}) {
                Variant args[] = {Variant::I4(index), Variant::Bool(false)};
                target->control->Invoke(DISPID_PLEXAINFO, DISPATCH_PROPERTYPUT, args, nullptr);
            }
        }
        return;
    }
    if (same != wires_.end()) {
        Diagnose(cmd, "already connected: " + wire.text);
        return;
    }
    if (!Invalidate(*target, wire.input)) return;
    // A block that starts a diagram computes whenever one of its inputs is put.
    Variant args[] = {Variant::I4(6), Variant::Bool(true)};
    source->control->Invoke(DISPID_PLEXAINFO, DISPATCH_PROPERTYPUT, args, nullptr);
    wires_.push_back(std::move(wire));
    ++wireGeneration_;
}

void ScriptHost::Run(const DiagramCommand&, const Command&, const Frame&) {
    for (const Wire& wire : wires_)
        out_ << wire.text << '\n';
}

void ScriptHost::Unwire(const Object& object) {
    auto gone = std::remove_if(wires_.begin(), wires_.end(), [&](const Wire& w) {
        return w.source == &object || w.target == &object;
    });
    if (gone == wires_.end()) return;
    wires_.erase(gone, wires_.end());
    ++wireGeneration_;
}

void ScriptHost::Deliver(Object& object, DISPID event, std::span<const Variant> args) {
    if (wires_.empty() || handlersStopped_) return;
    // Each block down a chain runs inside the events of the one before it; a
    // bound keeps a very long chain from exhausting the stack.
    if (handlerDepth_ >= options_.maxHandlerDepth) {
        handlersStopped_ = true;
        Diagnose(runningLine_, "wires and handlers nest deeper than " +
                                   std::to_string(options_.maxHandlerDepth) + ": stopped");
        return;
    }
    ++handlerDepth_;
    DeliverWires(object, event, args);
    --handlerDepth_;
}

void ScriptHost::DeliverWires(Object& object, DISPID event, std::span<const Variant> args) {
    // Handlers run by the puts below may connect or disconnect: a changed list
    // ends the walk over it.
    const uint64_t generation = wireGeneration_;
    for (size_t i = 0; i < wires_.size() && generation == wireGeneration_ && !stopped_; ++i) {
        Wire& wire = wires_[i];
        if (wire.source != &object || wire.announcedBy != event) continue;
        Variant value;
        if (wire.output == DISPID_UNKNOWN) {
            value = args.empty() ? Variant::Bool(true) : args[0];
        } else if (HRESULT hr =
                       object.control->Invoke(wire.output, DISPATCH_PROPERTYGET, {}, &value);
                   FAILED(hr)) {
            Refused(Command{runningLine_, wire.text, {}}, hr, "reading the output");
            continue;
        }
        Put(*wire.target, wire.input, std::move(value), wire.text);
    }
    if (event != kEventControlOut) return;
    for (size_t i = 0; i < wires_.size() && generation == wireGeneration_ && !stopped_; ++i) {
        const Wire& wire = wires_[i];
        if (wire.source != &object) continue;
        // Each block downstream is triggered once, at its first wire.
        bool first = std::none_of(
            wires_.begin(), wires_.begin() + static_cast<ptrdiff_t>(i),
            [&](const Wire& w) { return w.source == &object && w.target == wire.target; });
        if (first) Put(*wire.target, DISPID_CONTROLIN, Variant::Bool(true), wire.text);
    }
    for (size_t i = 0; i < wires_.size() && generation == wireGeneration_ && !stopped_; ++i) {
        if (wires_[i].target == &object) Invalidate(object, wires_[i].input);
    }
}
