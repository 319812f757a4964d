#include "platform/property_page.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/desktop.h"

const std::string_view kEnterInteger = "Please enter an integer.";
const std::string_view kEnterNumber = "Please enter a number.";

std::string IntegerRangeMessage(int64_t min, int64_t max) {
    return "Please enter an integer between " + std::to_string(min) + " and " +
           std::to_string(max) + ".";
}

std::string NumberRangeMessage(double min, double max) {
    return "Please enter a number between " + FormatNumber(min) + " and " + FormatNumber(max) + ".";
}

std::string FormatNumber(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", 15, value);
    return text;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without its surrounding blanks, or nullopt when it is empty.
std::optional<std::string> Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    return std::string(text);
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    auto t = Trimmed(text);
    if (!t) return std::nullopt;
    char* end = nullptr;
    double v = std::strtod(t->c_str(), &end);
    if (end != t->c_str() + t->size()) return std::nullopt;
    return v;
}

std::optional<int64_t> ParseInteger(std::string_view text) {
    auto t = Trimmed(text);
    if (!t) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(t->c_str(), &end, 10);
    if (end != t->c_str() + t->size() || errno == ERANGE) return std::nullopt;
    return v;
}

// --- the page ------------------------------------------------------------------

COlePropertyPage::COlePropertyPage(std::string_view caption, std::vector<PageField> fields)
    : caption_(caption), fields_(std::move(fields)), state_(fields_.size()) {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].kind == FieldKind::Note) state_[i].text = fields_[i].label;
    }
}

size_t COlePropertyPage::FieldOf(std::string_view property) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (!property.empty() && fields_[i].property == property) return i;
    }
    return fields_.size();
}

bool COlePropertyPage::AnyChanged() const {
    for (const FieldState& s : state_) {
        if (s.changed) return true;
    }
    return false;
}

HRESULT COlePropertyPage::ReadProperty(std::string_view name, Variant* value) const {
    if (!object_) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object_->GetIDsOfNames(name, &id);
    if (FAILED(hr)) return hr;
    return object_->Invoke(id, DISPATCH_PROPERTYGET, {}, value);
}

HRESULT COlePropertyPage::WriteProperty(std::string_view name, Variant value) const {
    if (!object_) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object_->GetIDsOfNames(name, &id);
    if (FAILED(hr)) return hr;
    return object_->Invoke(id, DISPATCH_PROPERTYPUT | DISPATCH_MOVEARGS, std::span(&value, 1),
                           nullptr);
}

std::string COlePropertyPage::LoadText(const PageField& f, const Variant& value) const {
    auto as = [&](VARTYPE vt, Variant* out) {
        return SUCCEEDED(VariantChangeType(out, &value, 0, vt));
    };
    Variant v;
    switch (f.kind) {
        case FieldKind::Double:
            return as(VT_R8, &v) ? FormatNumber(v.dblVal()) : "";
        case FieldKind::Float: {
            if (!as(VT_R4, &v)) return "";
            char text[32];
            std::snprintf(text, sizeof text, "%.*g", 6, static_cast<double>(v.fltVal()));
            return text;
        }
        case FieldKind::Long:
        case FieldKind::Short:
        case FieldKind::Radio:
            return as(VT_I4, &v) ? std::to_string(v.lVal()) : "";
        case FieldKind::String:
            if (f.onlyStrings && value.vt() != VT_BSTR) return "";
            return as(VT_BSTR, &v) ? v.bstrVal() : "";
        case FieldKind::Bool:
            return as(VT_BOOL, &v) && v.boolVal() != 0 ? "1" : "0";
        case FieldKind::List: {
            if (!as(VT_I4, &v)) return "-1";
            int64_t position = -1;
            if (f.codes.empty()) {
                position = int64_t{v.lVal()} + f.positionOffset;
            } else {
                for (size_t i = 0; i < f.codes.size(); ++i) {
                    if (f.codes[i] == v.lVal()) position = static_cast<int64_t>(i);
                }
            }
            if (position < 0 || position >= static_cast<int64_t>(f.choices.size())) position = -1;
            return std::to_string(position);
        }
        default:
            return "";
    }
}

void COlePropertyPage::Load(IDispatch* object) {
    object_ = ComPtr<IDispatch>(object);
    for (size_t i = 0; i < fields_.size(); ++i) {
        const PageField& f = fields_[i];
        state_[i].changed = false;
        if (f.property.empty()) continue;
        Variant value;
        HRESULT hr = ReadProperty(f.property, &value);
        state_[i].text = SUCCEEDED(hr) ? LoadText(f, value) : LoadText(f, Variant());
    }
    UpdateEnabling();
}

void COlePropertyPage::Show(size_t field, std::string text) {
    state_[field].text = std::move(text);
}

void COlePropertyPage::Edit(size_t field, std::string text) {
    if (field >= fields_.size()) return;
    size_t limit = fields_[field].maxLength;
    if (limit != 0 && text.size() > limit) text.resize(limit);
    state_[field].text = std::move(text);
    state_[field].changed = true;
    OnEdited(field);
}

void COlePropertyPage::Press(size_t) {}

void COlePropertyPage::OnEdited(size_t) {
    UpdateEnabling();
}

void COlePropertyPage::UpdateEnabling() {
    for (size_t i = 0; i < fields_.size(); ++i) {
        const EnableRule& rule = fields_[i].enable;
        if (rule.controller.empty()) continue;
        size_t c = FieldOf(rule.controller);
        bool shows = c < fields_.size() && ParseInteger(state_[c].text) == rule.value;
        state_[i].enabled = shows == rule.equal;
        if (state_[i].enabled && rule.markChanged) state_[i].changed = true;
    }
}

double COlePropertyPage::Number(size_t field) const {
    return ParseNumber(state_[field].text).value_or(0.0);
}

std::optional<PageMessage> COlePropertyPage::RangeCheck(size_t field) const {
    const PageField& f = fields_[field];
    const std::string& text = state_[field].text;
    auto fail = [&](std::string message) {
        return PageMessage{std::move(message), MB_ICONEXCLAMATION, field};
    };
    switch (f.kind) {
        case FieldKind::Long:
        case FieldKind::Short: {
            auto v = ParseInteger(text);
            int64_t lo = f.kind == FieldKind::Short ? INT16_MIN : INT32_MIN;
            int64_t hi = f.kind == FieldKind::Short ? INT16_MAX : INT32_MAX;
            if (!v || *v < lo || *v > hi) return fail(std::string(kEnterInteger));
            if (f.hasRange && (*v < f.min || *v > f.max))
                return fail(
                    IntegerRangeMessage(static_cast<int64_t>(f.min), static_cast<int64_t>(f.max)));
            return std::nullopt;
        }
        case FieldKind::Double:
        case FieldKind::Float: {
            auto v = ParseNumber(text);
            if (!v) return fail(std::string(kEnterNumber));
            if (f.hasRange && (*v < f.min || *v > f.max))
                return fail(NumberRangeMessage(f.min, f.max));
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

std::optional<PageMessage> COlePropertyPage::CheckField(size_t field) {
    return RangeCheck(field);
}

std::optional<PageMessage> COlePropertyPage::WriteField(size_t field) const {
    const PageField& f = fields_[field];
    const std::string& text = state_[field].text;
    Variant value;
    switch (f.kind) {
        case FieldKind::Double:
            value = Variant::R8(Number(field));
            break;
        case FieldKind::Float:
            value = Variant::R4(static_cast<float>(Number(field)));
            break;
        case FieldKind::Long:
            value = Variant::I4(static_cast<int32_t>(ParseInteger(text).value_or(0)));
            break;
        case FieldKind::Short:
            value = Variant::I2(static_cast<int16_t>(ParseInteger(text).value_or(0)));
            break;
        case FieldKind::String:
            value = Variant::Str(text);
            break;
        case FieldKind::Bool:
            value = Variant::Bool(text == "1");
            break;
        case FieldKind::Radio:
            value = Variant::I4(static_cast<int32_t>(ParseInteger(text).value_or(0)));
            break;
        case FieldKind::List: {
            int64_t position = ParseInteger(text).value_or(-1);
            if (position < 0) return std::nullopt;  // nothing selected: nothing to write
            if (!f.codes.empty() && position >= static_cast<int64_t>(f.codes.size()))
                return std::nullopt;
            value = Variant::I4(f.codes.empty() ? static_cast<int32_t>(position - f.positionOffset)
                                                : f.codes[position]);
            break;
        }
        default:
            return std::nullopt;
    }
    if (FAILED(WriteProperty(f.property, std::move(value)))) {
        return PageMessage{"The value of " + std::string(f.property) + " was not accepted.",
                           MB_ICONEXCLAMATION, field};
    }
    return std::nullopt;
}

std::optional<PageMessage> COlePropertyPage::WriteFields() {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (!state_[i].changed || !state_[i].enabled || fields_[i].property.empty()) continue;
        if (auto failed = WriteField(i)) return failed;
    }
    return std::nullopt;
}

std::optional<PageMessage> COlePropertyPage::Apply() {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (!state_[i].enabled) continue;
        if (auto failed = CheckField(i)) return failed;
    }
    if (auto failed = WriteFields()) return failed;
    for (FieldState& s : state_)
        s.changed = false;
    UpdateEnabling();  // rules that mark their fields keep them marked for the next apply
    return std::nullopt;
}
