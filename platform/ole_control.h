#pragma once
// What the control framework gives a control: its container's ambient
// properties, the modified flag, bound-property notices, events through a
// connection point, reset and property exchange over a property bag.
#include <cstdint>
#include <string>

#include "platform/desktop.h"
#include "platform/device_context.h"
#include "platform/dispatch.h"
#include "platform/events.h"
#include "platform/persisted_field.h"
#include "platform/property_bag.h"

constexpr LCID LOCALE_USER_DEFAULT = 0x0409;  // English (United States)

// The container side of a control (a host's form or diagram).
class IControlSite {
  public:
    virtual ~IControlSite() = default;
    virtual bool AmbientUserMode() const = 0;  // true: run mode, false: design mode
    virtual std::string AmbientDisplayName() const = 0;
    virtual LCID AmbientLocaleID() const = 0;
    // The control says a bound property changed (only asked in design mode).
    virtual void OnBoundPropertyChanged(DISPID dispid) = 0;
};

// What a control class is, readable without an instance: its member and event
// tables and its help context (0 for a class without one). Each control class
// declares one as its static `kClass`; the module's class row points to it, and
// every instance answers Members() and Events() from it, so the two cannot
// disagree.
struct ControlClass {
    const DispatchTable& (*members)();
    const EventTable& (*events)();
    int32_t helpContext = 0;
};

class COleControl : public DispatchObject {
  public:
    COleControl() = default;
    COleControl(const COleControl&) = delete;
    COleControl& operator=(const COleControl&) = delete;

    // The class this control is an instance of (its `kClass`).
    virtual const ControlClass& Class() const = 0;
    const DispatchTable& Members() const override { return Class().members(); }
    // The control's event interface, for hosts and the type library.
    const EventTable* GetEventInfo() const override { return &Events(); }
    virtual const EventTable& Events() const { return Class().events(); }

    // Container. Without one the control is in run mode, has an empty display
    // name and the user-default locale. The site must outlive the control or be
    // detached with SetClientSite(nullptr).
    void SetClientSite(IControlSite* site) { site_ = site; }
    bool AmbientUserMode() const { return site_ == nullptr || site_->AmbientUserMode(); }
    std::string AmbientDisplayName() const;
    LCID AmbientLocaleID() const;

    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    // Tells the container that a bound property changed.
    void BoundPropertyChanged(DISPID dispid);

    // Event connections (the control's one outgoing event interface).
    uint32_t Advise(ComPtr<IDispatch> sink) { return connections_.Advise(std::move(sink)); }
    HRESULT Unadvise(uint32_t cookie) { return connections_.Unadvise(cookie); }
    bool HasEventSinks() const { return connections_.Count() != 0; }

    // Initialises a new control through OnResetState; the modified flag is cleared.
    void InitNew();
    // Loads persisted properties from a bag; the modified flag is cleared.
    void Load(PropertyBag& bag);
    // Saves persisted properties into a bag; the modified flag is cleared when
    // `clearDirty` is set.
    void Save(PropertyBag& bag, bool clearDirty = true);

    // Paints the control over `rcBounds`; `rcInvalid` is the part being
    // repainted. The framework's own paints nothing.
    virtual void OnDraw(CDC* /*pdc*/, const RECT& /*rcBounds*/, const RECT& /*rcInvalid*/) {}
    // The user asked for help on the control (the F1 key); TRUE when the
    // control handled the request. The framework's own does not.
    virtual BOOL OnHelpInfo() { return FALSE; }

    // Which property page edits property `dispid`, for a host that browses
    // properties one at a time: S_OK with the page's class identifier (or its
    // class name, for a control made without its class) and whether showing it
    // is optional; PERPROP_E_NOPAGEAVAILABLE when the property has no page of
    // its own and the host's default mapping applies.
    HRESULT MapPropertyToPage(DISPID dispid, std::string* pageId, BOOL* optional);

    void SetInitialSize(int cx, int cy) {
        width_ = cx;
        height_ = cy;
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Set by the class factory that made the control; null for a control
    // made directly, which then has no caption, picture or pages to offer.
    void SetClassInfo(const ControlClassInfo* info) { classInfo_ = info; }
    const ControlClassInfo* ClassInfo() const { return classInfo_; }

  protected:
    virtual void DoPropExchange(CPropExchange* pPX) = 0;
    // A control whose property `dispid` has a page of its own names that
    // page's class, one of its class's pages; FALSE leaves the default mapping.
    virtual BOOL OnMapPropertyToPage(DISPID /*dispid*/, std::string_view* /*pageClass*/,
                                     BOOL* /*optional*/) {
        return FALSE;
    }
    // The framework's reset: every persisted property takes its default (an
    // exchange over an empty bag). Controls extend it with their initial values.
    virtual void OnResetState();

    // Delivers an event to every connected sink; `stop` is asked before each one.
    template <class StopPredicate>
    void FireEvent(DISPID dispid, std::span<Variant> args, StopPredicate&& stop) {
        connections_.Deliver(dispid, args, std::forward<StopPredicate>(stop));
    }

  private:
    IControlSite* site_ = nullptr;
    bool modified_ = false;
    ConnectionPoint connections_;
    int width_ = 0;
    int height_ = 0;
    const ControlClassInfo* classInfo_ = nullptr;
};
