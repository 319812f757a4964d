#include "platform/property_bag.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unordered_map>

#include "platform/text.h"
#include "platform/value_text.h"

namespace {

constexpr std::string_view kHeader = "TallyKit property bag 1";

std::string Folded(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), LowerAscii);
    return folded;
}

std::string SystemReason(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

void SetError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

// The bag's value of `name` converted to `kind`; false when missing or it does not convert.
bool LoadConverted(CPropExchange* pPX, const char* name, VARTYPE kind, Variant* out) {
    const Variant* stored = pPX->Bag().Read(name);
    return stored && SUCCEEDED(VariantChangeType(out, stored, 0, kind));
}

// The exchange of a plain C++ value: `Make` builds the persisted value (and so
// fixes its kind), `Get` reads the loaded one back.
template <class T, auto Make, auto Get>
bool ExchangeScalar(CPropExchange* pPX, const char* name, T& value, const T& def) {
    if (!pPX || !name) return false;
    if (!pPX->IsLoading()) return pPX->Bag().Write(name, Make(value));
    Variant loaded;
    bool found = LoadConverted(pPX, name, Make(def).vt(), &loaded);
    value = found ? static_cast<T>(std::invoke(Get, loaded)) : def;
    return found;
}

Variant MakeBool(BOOL b) {
    return Variant::Bool(b != FALSE);
}
BOOL GetBool(const Variant& v) {
    return v.boolVal() != VARIANT_FALSE ? TRUE : FALSE;
}
Variant MakeString(const std::string& s) {
    return Variant::Str(s);
}
const std::string& GetString(const Variant& v) {
    return v.bstrVal();
}

}  // namespace

bool PropertyBag::IsValidName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

PropertyBag::Property* PropertyBag::Find(std::string_view name) {
    auto it = std::find_if(properties_.begin(), properties_.end(),
                           [name](const Property& p) { return EqualsIgnoringCase(p.name, name); });
    return it != properties_.end() ? &*it : nullptr;
}

const PropertyBag::Property* PropertyBag::Find(std::string_view name) const {
    return const_cast<PropertyBag*>(this)->Find(name);
}

bool PropertyBag::Write(std::string_view name, const Variant& value) {
    if (!IsValidName(name) || !HasExactText(value)) return false;
    if (Property* existing = Find(name)) {
        existing->value = value;
    } else {
        properties_.push_back({std::string(name), value});
    }
    return true;
}

const Variant* PropertyBag::Read(std::string_view name) const {
    const Property* p = Find(name);
    return p ? &p->value : nullptr;
}

std::string PropertyBag::Serialize() const {
    std::string out(kHeader);
    out += '\n';
    for (const Property& p : properties_) {
        out += p.name;
        out += " = ";
        out += FormatValue(p.value);
        out += '\n';
    }
    return out;
}

bool PropertyBag::Parse(std::string_view text, PropertyBag* out, std::string* error) {
    PropertyBag bag;
    std::unordered_map<std::string, size_t> firstLine;  // folded name -> line
    size_t number = 0;
    for (size_t start = 0; start <= text.size(); ++number) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::string where = "line " + std::to_string(number + 1) + ": ";
        if (number == 0) {
            if (line == kHeader) continue;
            SetError(error, where + "expected the header '" + std::string(kHeader) + "'");
            return false;
        }
        std::string_view content = Trim(line, kSpacesAndTabs);
        if (content.empty() || content.front() == '#') continue;
        size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            SetError(error, where + "expected 'Name = value'");
            return false;
        }
        std::string_view name = Trim(content.substr(0, equals), kSpacesAndTabs);
        if (!IsValidName(name)) {
            SetError(error, where + "invalid property name '" + std::string(name) +
                                "' (letters, digits and '_' only)");
            return false;
        }
        auto [seen, added] = firstLine.emplace(Folded(name), number + 1);
        if (!added) {
            SetError(error, where + "property " + std::string(name) + " is already set on line " +
                                std::to_string(seen->second));
            return false;
        }
        Variant value;
        std::string why;
        if (!ParseValue(Trim(content.substr(equals + 1), kSpacesAndTabs), &value, &why)) {
            SetError(error, where + "value of " + std::string(name) + ": " + why);
            return false;
        }
        // Without a resolver only `dispatch nothing` reads; it names nothing to persist.
        if (!bag.Write(name, value)) {
            SetError(error, where + "value of " + std::string(name) +
                                ": dispatch values cannot be persisted");
            return false;
        }
    }
    *out = std::move(bag);
    return true;
}

bool PropertyBag::SaveToFile(const std::string& path, std::string* error) const {
    const std::string text = Serialize();
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        SetError(error, SystemReason(temporary));
        return false;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        SetError(error, SystemReason(written ? path : temporary));
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool PropertyBag::LoadFromFile(const std::string& path, PropertyBag* out, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        SetError(error, SystemReason(path));
        return false;
    }
    std::string text;
    char buffer[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        SetError(error, SystemReason(path));
        return false;
    }
    std::string why;
    if (!Parse(text, out, &why)) {
        SetError(error, path + ": " + why);
        return false;
    }
    return true;
}

bool operator==(const PropertyBag& a, const PropertyBag& b) {
    return std::equal(
        a.properties_.begin(), a.properties_.end(), b.properties_.begin(), b.properties_.end(),
        [](const auto& x, const auto& y) { return x.name == y.name && x.value == y.value; });
}

bool PX_Bool(CPropExchange* pPX, const char* name, BOOL& value, BOOL def) {
    return ExchangeScalar<BOOL, MakeBool, GetBool>(pPX, name, value, def);
}

bool PX_Short(CPropExchange* pPX, const char* name, int16_t& value, int16_t def) {
    return ExchangeScalar<int16_t, Variant::I2, &Variant::iVal>(pPX, name, value, def);
}

bool PX_Long(CPropExchange* pPX, const char* name, int32_t& value, int32_t def) {
    return ExchangeScalar<int32_t, Variant::I4, &Variant::lVal>(pPX, name, value, def);
}

bool PX_ULong(CPropExchange* pPX, const char* name, uint32_t& value, uint32_t def) {
    return ExchangeScalar<uint32_t, Variant::UI4, &Variant::ulVal>(pPX, name, value, def);
}

bool PX_Float(CPropExchange* pPX, const char* name, float& value, float def) {
    return ExchangeScalar<float, Variant::R4, &Variant::fltVal>(pPX, name, value, def);
}

bool PX_Double(CPropExchange* pPX, const char* name, double& value, double def) {
    return ExchangeScalar<double, Variant::R8, &Variant::dblVal>(pPX, name, value, def);
}

bool PX_String(CPropExchange* pPX, const char* name, std::string& value, const std::string& def) {
    return ExchangeScalar<std::string, MakeString, GetString>(pPX, name, value, def);
}

bool PX_Variant(CPropExchange* pPX, const char* name, Variant& value, VARTYPE kind,
                const Variant& def) {
    if (!pPX || !name) return false;
    Variant converted;
    if (pPX->IsLoading()) {
        bool found = LoadConverted(pPX, name, kind, &converted);
        value = found ? std::move(converted) : def;
        return found;
    }
    if (FAILED(VariantChangeType(&converted, &value, 0, kind)) &&
        FAILED(VariantChangeType(&converted, &def, 0, kind))) {
        return false;
    }
    return pPX->Bag().Write(name, converted);
}

void ExchangeInput(CPropExchange* pPX, const char* name, Variant& input, VARTYPE kind,
                   const Variant& loadDefault) {
    if (pPX->IsLoading()) {
        PX_Variant(pPX, name, input, kind, loadDefault);
        return;
    }
    Variant zero;  // empty converts to the zero of every numeric kind
    VariantChangeType(&zero, &zero, 0, kind);
    PX_Variant(pPX, name, input, kind, zero);
}

bool ExchangeVersion(CPropExchange* pPX, uint32_t& version, uint32_t defaultVersion) {
    return PX_ULong(pPX, "_Version", version, defaultVersion);
}
