#pragma once
// Eight controls that reserve the names and registrations of one-input math
// and sorting blocks: OVAbs, OVSqrt, OVSquare, OVLog, OVln, OVMathFunction,
// OVPower and OVSort. They compute nothing: no inputs, outputs, events or
// status, only the about box and the platform's own persisted control data.
// They stand directly on the platform control, not on the block base.
#include <string>

#include "framework/family_block.h"
#include "platform/ole_control.h"

enum class PlaceholderKind { Abs, Sqrt, Square, Log, Ln, MathFunction, Power, Sort };
constexpr size_t kPlaceholderKindCount = 8;

struct PlaceholderInfo {
    PlaceholderKind kind;   // also the row's index in the family table
    const char* shortName;  // "OVAbs"
};

class COVPlaceholderCtrl : public COleControl {
  public:
    explicit COVPlaceholderCtrl(PlaceholderKind kind);

    static const DispatchTable& PlaceholderMembers();
    static const EventTable& PlaceholderEvents();
    // Every kind shares the tables and has no help context; indexed by PlaceholderKind.
    static const ControlClass kKindClasses[kPlaceholderKindCount];
    const ControlClass& Class() const override {
        return kKindClasses[static_cast<size_t>(info_.kind)];
    }

    const PlaceholderInfo& Info() const { return info_; }
    // The about dialog is a desktop service; without one this does nothing.
    void AboutBox();
    // A placeholder has no picture of its own: a white field with an ellipse.
    void OnDraw(CDC* pdc, const RECT& rcBounds, const RECT& rcInvalid) override;

  protected:
    void DoPropExchange(CPropExchange* pPX) override;

  private:
    const PlaceholderInfo& info_;
};

using COVAbsCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Abs>;
using COVSqrtCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Sqrt>;
using COVSquareCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Square>;
using COVLogCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Log>;
using COVlnCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Ln>;
using COVMathFunctionCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::MathFunction>;
using COVPowerCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Power>;
using COVSortCtrl = FamilyBlock<COVPlaceholderCtrl, PlaceholderKind::Sort>;
