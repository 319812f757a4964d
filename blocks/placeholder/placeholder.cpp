#include "blocks/placeholder/placeholder.h"

#include <array>

#include "framework/block_help.h"

namespace {

constexpr uint32_t kControlVersion = 0x00010001;

constexpr std::array kPlaceholders = {
    PlaceholderInfo{PlaceholderKind::Abs, "OVAbs"},
    PlaceholderInfo{PlaceholderKind::Sqrt, "OVSqrt"},
    PlaceholderInfo{PlaceholderKind::Square, "OVSquare"},
    PlaceholderInfo{PlaceholderKind::Log, "OVLog"},
    PlaceholderInfo{PlaceholderKind::Ln, "OVln"},
    PlaceholderInfo{PlaceholderKind::MathFunction, "OVMathFunction"},
    PlaceholderInfo{PlaceholderKind::Power, "OVPower"},
    PlaceholderInfo{PlaceholderKind::Sort, "OVSort"},
};
static_assert([] {
    for (size_t i = 0; i < kPlaceholders.size(); ++i) {
        if (static_cast<size_t>(kPlaceholders[i].kind) != i) return false;
    }
    return true;
}());
static_assert(kPlaceholders.size() == kPlaceholderKindCount);

}  // namespace

COVPlaceholderCtrl::COVPlaceholderCtrl(PlaceholderKind kind)
    : info_(kPlaceholders[static_cast<size_t>(kind)]) {
    SetInitialSize(16, 16);
}

const DispatchTable& COVPlaceholderCtrl::PlaceholderMembers() {
    static const DispatchTable table(
        nullptr, {Method<&COVPlaceholderCtrl::AboutBox>("AboutBox", DISPID_ABOUTBOX,
                                                        "Shows the about box")});
    return table;
}

const EventTable& COVPlaceholderCtrl::PlaceholderEvents() {
    static const EventTable table(nullptr, {});
    return table;
}

namespace {

constexpr ControlClass kPlaceholderClass{&COVPlaceholderCtrl::PlaceholderMembers,
                                         &COVPlaceholderCtrl::PlaceholderEvents};

}  // namespace

constinit const ControlClass COVPlaceholderCtrl::kKindClasses[kPlaceholderKindCount] = {
    kPlaceholderClass, kPlaceholderClass, kPlaceholderClass, kPlaceholderClass,
    kPlaceholderClass, kPlaceholderClass, kPlaceholderClass, kPlaceholderClass,
};

void COVPlaceholderCtrl::AboutBox() {
    const ControlClassInfo* info = ClassInfo();
    ShowControlAboutBox(std::string(info_.shortName) + " Control",
                        info != nullptr ? info->bitmap : 0);
}

void COVPlaceholderCtrl::OnDraw(CDC* pdc, const RECT& rcBounds, const RECT& /*rcInvalid*/) {
    if (pdc == nullptr) return;
    pdc->FillRect(rcBounds, kWhitePixel);
    pdc->Ellipse(rcBounds);
}

void COVPlaceholderCtrl::DoPropExchange(CPropExchange* pPX) {
    uint32_t version = kControlVersion;
    ExchangeVersion(pPX, version, kControlVersion);
}
