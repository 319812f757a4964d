#pragma once
// What the script host keeps of each object it created; shared by the files
// that implement ScriptHost.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/script_host.h"
#include "module/class_table.h"

// The code as 0x and eight hex digits.
std::string Hex(HRESULT code);

struct ScriptHost::Frame {
    std::span<const Variant> args;  // the arguments of the event being handled
};

inline std::string_view Or(std::string_view text, std::string_view fallback) {
    return text.empty() ? fallback : text;
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
inline IDispatch* AsDispatch(COleControl* control) {
    return control;
}

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
