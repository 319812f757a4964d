#pragma once
// OVSwitch routes its input to one of eight output events: Output k fires when
// the input equals the k-th case value of its list, DefaultOut when it equals
// none or the list cannot be used. The list is a one-dimensional array held in
// the block or a switch list file read at every run; cases compare by the
// lookup block's match rules (lookup.h).
#include <cstdint>

#include "blocks/routing/lookup.h"

constexpr int32_t SWITCH_HELP_CONTEXT = 67;
constexpr DISPID EVENTID_SWITCH_OUTPUT1 = 6;  // Output1 to Output8: 6 to 13
constexpr DISPID EVENTID_DEFAULTOUT = 14;
// The output group of an output event is its DISPID minus 2: 4 to 12.
constexpr int32_t SwitchGroupOf(DISPID event) {
    return event - 2;
}

class COVSwitchCtrl : public COVListCtrl {
  public:
    COVSwitchCtrl();

    static const DispatchTable& SwitchMembers();
    static const EventTable& SwitchEvents();
    static constexpr ControlClass kClass{&SwitchMembers, &SwitchEvents, SWITCH_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    void Operate() { Compute(); }

  protected:
    // Status 0. A LookupTable that is neither a path nor an array: type
    // mismatch and ValidateGroup 4 to 12, no output event. Otherwise the first
    // of at most eight cases that matches fires its Output event; no match or
    // an unusable list (with its status) fires DefaultOut; then ValidateGroup
    // for every other group from 4 to 12. The events carry the input as it is
    // after conversion. FireResults.
    void Compute() override;

  private:
    // Fires `event` with the input (none for 0), then ValidateGroup for every
    // group from 4 to 12 but the event's own.
    void FireOutput(DISPID event);
};
