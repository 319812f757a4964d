#include "platform/dispatch.h"

#include <algorithm>
#include <optional>

bool NamesEqual(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

Variant MakeValue(const PlainValue& plain) {
    switch (plain.kind) {
        case VT_BSTR:
            return Variant::Str(std::string(plain.text));
        case VT_BOOL:
            return Variant::BoolRaw(static_cast<VARIANT_BOOL>(plain.number));
        case VT_I2:
            return Variant::I2(static_cast<int16_t>(plain.number));
        case VT_I4:
            return Variant::I4(static_cast<int32_t>(plain.number));
        case VT_R4:
            return Variant::R4(static_cast<float>(plain.number));
        case VT_R8:
            return Variant::R8(plain.number);
        default:
            return Variant();
    }
}

DispatchTable::DispatchTable(const DispatchTable* base, std::vector<MemberDesc> own)
    : own_(std::move(own)) {
    for (const MemberDesc& m : own_)
        all_.push_back(&m);
    if (base != nullptr) {
        for (const MemberDesc* m : base->all_) {
            bool hidden = std::any_of(own_.begin(), own_.end(),
                                      [&](const MemberDesc& o) { return o.dispid == m->dispid; });
            if (!hidden) all_.push_back(m);
        }
    }
    for (const MemberDesc* m : all_)
        ids_.push_back(m->dispid);
}

const MemberDesc* DispatchTable::Find(DISPID dispid) const {
    // A linear scan over a few dozen integers beats hashing at this size.
    for (size_t i = 0; i < ids_.size(); ++i) {
        if (ids_[i] == dispid) return all_[i];
    }
    return nullptr;
}

const MemberDesc* DispatchTable::Find(std::string_view name) const {
    for (const MemberDesc* m : all_) {
        if (NamesEqual(m->name, name)) return m;
    }
    return nullptr;
}

HRESULT CoerceArguments(std::span<const VARTYPE> kinds, std::span<Variant> args, uint32_t* argErr) {
    if (args.size() != kinds.size()) return DISP_E_BADPARAMCOUNT;
    for (size_t i = 0; i < args.size(); ++i) {
        if (kinds[i] == VT_VARIANT || args[i].vt() == kinds[i]) continue;
        if (FAILED(VariantChangeType(&args[i], &args[i], 0, kinds[i]))) {
            if (argErr != nullptr) *argErr = static_cast<uint32_t>(i);
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

HRESULT DispatchObject::GetIDsOfNames(std::string_view name, DISPID* dispid) {
    const MemberDesc* m = Members().Find(name);
    if (m == nullptr) {
        *dispid = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    *dispid = m->dispid;
    return S_OK;
}

HRESULT DispatchObject::Invoke(DISPID dispid, uint16_t flags, std::span<Variant> args,
                               Variant* result, uint32_t* argErr) {
    if (members_ == nullptr) members_ = &Members();
    const MemberDesc* m = members_->Find(dispid);
    if (m == nullptr) return DISP_E_MEMBERNOTFOUND;
    // Keep the object alive while a handler fires events whose sinks may drop
    // the host's last reference.
    struct KeepAlive {
        explicit KeepAlive(DispatchObject* object) : object(object) { object->AddRef(); }
        ~KeepAlive() { object->Release(); }
        DispatchObject* object;
    } keepAlive(this);
    std::span<const VARTYPE> params(m->paramTypes.data(), m->paramCount);
    // A caller that wants no result still gets one to drop.
    std::optional<Variant> scratch;
    auto out = [&]() -> Variant& { return result != nullptr ? *result : scratch.emplace(); };

    if (m->kind == MemberKind::Method) {
        // Automation controllers may call a method with get|method flags.
        if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
        HRESULT hr = CoerceArguments(params, args, argErr);
        if (FAILED(hr)) return hr;
        return m->call(*this, args, out());
    }
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        if (m->put == nullptr) return CTL_E_SETNOTSUPPORTED;
        if (args.empty()) return DISP_E_BADPARAMCOUNT;
        if (!params.empty() || args.size() != 1) {  // an indexed put
            HRESULT hr = CoerceArguments(params, args.first(args.size() - 1), argErr);
            if (FAILED(hr)) return hr;
        }
        Variant& value = args.back();
        if (m->putType != VT_VARIANT && value.vt() != m->putType &&
            FAILED(VariantChangeType(&value, &value, 0, m->putType))) {
            if (argErr != nullptr) *argErr = static_cast<uint32_t>(args.size() - 1);
            return DISP_E_TYPEMISMATCH;
        }
        return m->put(*this, args.first(args.size() - 1), value);
    }
    if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0) {
        if (m->get == nullptr) return CTL_E_GETNOTSUPPORTED;
        HRESULT hr = CoerceArguments(params, args, argErr);
        if (FAILED(hr)) return hr;
        return m->get(*this, args, out());
    }
    return DISP_E_MEMBERNOTFOUND;
}
