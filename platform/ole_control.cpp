#include "platform/ole_control.h"

std::string COleControl::AmbientDisplayName() const {
    return site_ != nullptr ? site_->AmbientDisplayName() : std::string();
}

LCID COleControl::AmbientLocaleID() const {
    return site_ != nullptr ? site_->AmbientLocaleID() : LOCALE_USER_DEFAULT;
}

void COleControl::BoundPropertyChanged(DISPID dispid) {
    if (site_ != nullptr) site_->OnBoundPropertyChanged(dispid);
}

void COleControl::InitNew() {
    OnResetState();
    modified_ = false;
}

void COleControl::OnResetState() {
    // Every persisted property takes its default: an exchange over an empty bag.
    PropertyBag empty;
    CPropExchange px(empty, true);
    DoPropExchange(&px);
}

void COleControl::Load(PropertyBag& bag) {
    CPropExchange px(bag, true);
    DoPropExchange(&px);
    modified_ = false;
}

void COleControl::Save(PropertyBag& bag, bool clearDirty) {
    CPropExchange px(bag, false);
    DoPropExchange(&px);
    if (clearDirty) modified_ = false;
}

HRESULT COleControl::MapPropertyToPage(DISPID dispid, std::string* pageId, BOOL* optional) {
    if (pageId == nullptr || optional == nullptr) return E_POINTER;
    std::string_view pageClass;
    BOOL pageOptional = FALSE;
    if (!OnMapPropertyToPage(dispid, &pageClass, &pageOptional)) return PERPROP_E_NOPAGEAVAILABLE;
    *pageId = pageClass;
    if (classInfo_ != nullptr) {
        for (size_t i = 0; i < classInfo_->pageClasses.size(); ++i) {
            if (classInfo_->pageClasses[i] == pageClass) *pageId = classInfo_->pageIds[i];
        }
    }
    *optional = pageOptional;
    return S_OK;
}
