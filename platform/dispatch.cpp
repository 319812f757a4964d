#include "platform/dispatch.h"

#include <algorithm>
#include <array>
#include <new>

#include "platform/text.h"

bool NamesEqual(std::string_view a, std::string_view b) {
    return EqualsIgnoringCase(a, b);
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
    for (const MemberDesc* m : all_) {
        ids_.push_back(m->dispid);
        // The first entry with a DISPID answers for it, as in the scan.
        if (m->dispid >= 0 && m->dispid < kDirectIds &&
            byId_[static_cast<size_t>(m->dispid)] == nullptr)
            byId_[static_cast<size_t>(m->dispid)] = m;
    }
}

const MemberDesc* DispatchTable::Find(DISPID dispid) const {
    if (dispid >= 0 && dispid < kDirectIds) return byId_[static_cast<size_t>(dispid)];
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

namespace {

// The arguments of one call, coerced to their declared kinds in slots of the
// call's own. Values that already have their kind are copied, or moved when
// the caller gave them up.
class ArgumentSlots {
  public:
    HRESULT Fill(std::span<const VARTYPE> kinds, std::span<Variant> args, bool take,
                 uint32_t* argErr) {
        if (args.size() != kinds.size()) return DISP_E_BADPARAMCOUNT;
        for (size_t i = 0; i < args.size(); ++i) {
            if (kinds[i] == VT_VARIANT || args[i].vt() == kinds[i]) {
                slots_[i] = take ? std::move(args[i]) : args[i];
            } else if (FAILED(VariantChangeType(&slots_[i], &args[i], 0, kinds[i]))) {
                if (argErr != nullptr) *argErr = static_cast<uint32_t>(i);
                return DISP_E_TYPEMISMATCH;
            }
        }
        count_ = args.size();
        return S_OK;
    }
    std::span<Variant> Args() { return {slots_.data(), count_}; }
    // Hands the by-reference arguments back to the caller.
    void ReturnByRef(std::span<Variant> args, uint8_t byRef) {
        for (size_t i = 0; i < count_; ++i) {
            if ((byRef >> i) & 1u) args[i] = std::move(slots_[i]);
        }
    }

  private:
    std::array<Variant, kMaxParams> slots_;
    size_t count_ = 0;
};

// Kept out of line: the slots and their clean-up would otherwise weigh on
// every call, also on those without arguments.
template <class Handler>
[[gnu::noinline]] HRESULT WithArgumentSlots(std::span<const VARTYPE> kinds, std::span<Variant> args,
                                            bool take, uint32_t* argErr, Handler& handler,
                                            uint8_t byRef) {
    ArgumentSlots slots;
    if (HRESULT hr = slots.Fill(kinds, args, take, argErr); FAILED(hr)) return hr;
    HRESULT hr = handler(slots.Args());
    if (byRef != 0) slots.ReturnByRef(args, byRef);
    return hr;
}

// Most members take no arguments: their calls skip the slots altogether.
template <class Handler>
HRESULT WithArguments(std::span<const VARTYPE> kinds, std::span<Variant> args, bool take,
                      uint32_t* argErr, Handler&& handler, uint8_t byRef = 0) {
    if (kinds.empty() && args.empty()) return handler(std::span<Variant>());
    return WithArgumentSlots(kinds, args, take, argErr, handler, byRef);
}

}  // namespace

HRESULT DispatchObject::GetIDsOfNames(std::string_view name, DISPID* dispid) {
    const MemberDesc* m = Members().Find(name);
    if (m == nullptr) {
        *dispid = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    *dispid = m->dispid;
    return S_OK;
}

namespace {

// Every call but the plain property get: puts, methods, parameterised gets.
// As many parameters as Invoke, so that Invoke passes the call on as a jump.
[[gnu::noinline]] HRESULT InvokeMember(DispatchObject& self, const MemberDesc* m, uint16_t flags,
                                       std::span<Variant> args, Variant* result, uint32_t* argErr) {
    const bool take = (flags & DISPATCH_MOVEARGS) != 0;
    std::span<const VARTYPE> params(m->paramTypes.data(), m->paramCount);
    const bool get = m->kind == MemberKind::Property && (flags & DISPATCH_PROPERTYPUT) == 0;
    // Keep the object alive while a handler fires events whose sinks may drop
    // the host's last reference. A property get only reads (getters run
    // nothing and fire nothing), so it needs no reference of its own.
    struct KeepAlive {
        explicit KeepAlive(DispatchObject* object) : object(object) {
            if (object != nullptr) object->AddRef();
        }
        ~KeepAlive() {
            if (object != nullptr) object->Release();
        }
        DispatchObject* object;
    } keepAlive(get ? nullptr : &self);
    // Failures cross the interface as codes only.
    try {
        if (m->kind == MemberKind::Property && (flags & DISPATCH_PROPERTYPUT) != 0) {
            if (m->put == nullptr) return CTL_E_SETNOTSUPPORTED;
            if (args.empty()) return DISP_E_BADPARAMCOUNT;
            return WithArguments(
                params, args.first(args.size() - 1), take, argErr,
                [&](std::span<Variant> slots) -> HRESULT {
                    Variant& given = args.back();
                    if (m->putType == VT_VARIANT || given.vt() == m->putType)
                        return m->put(self, slots, given, take);
                    Variant coerced;
                    if (FAILED(VariantChangeType(&coerced, &given, 0, m->putType))) {
                        if (argErr != nullptr) *argErr = static_cast<uint32_t>(args.size() - 1);
                        return DISP_E_TYPEMISMATCH;
                    }
                    return m->put(self, slots, coerced, true);
                });
        }
        // A caller that wants no result still gets one to drop.
        if (result == nullptr) {
            Variant scratch;
            return InvokeMember(self, m, flags, args, &scratch, argErr);
        }
        if (get) {
            if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) == 0)
                return DISP_E_MEMBERNOTFOUND;
            if (m->get == nullptr) return CTL_E_GETNOTSUPPORTED;
            return WithArguments(params, args, take, argErr, [&](std::span<Variant> slots) {
                return m->get(self, slots, *result);
            });
        }
        // Automation controllers may call a method with get|method flags.
        if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
        return WithArguments(
            params, args, take, argErr,
            [&](std::span<Variant> slots) { return m->call(self, slots, *result); },
            m->byRefParams);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

}  // namespace

HRESULT DispatchObject::InvokeFirst(DISPID dispid, uint16_t flags, std::span<Variant> args,
                                    Variant* result, uint32_t* argErr) {
    members_ = &Members();
    return Invoke(dispid, flags, args, result, argErr);
}

HRESULT DispatchObject::Invoke(DISPID dispid, uint16_t flags, std::span<Variant> args,
                               Variant* result, uint32_t* argErr) {
    if (members_ == nullptr) return InvokeFirst(dispid, flags, args, result, argErr);
    const MemberDesc* m = members_->Find(dispid);
    if (m == nullptr) return DISP_E_MEMBERNOTFOUND;
    // The commonest call, a get without parameters, goes straight to the getter,
    // which answers failures as codes itself.
    if (m->kind == MemberKind::Property &&
        (flags & (DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT)) == DISPATCH_PROPERTYGET &&
        result != nullptr && m->get != nullptr && m->paramCount == 0 && args.empty()) {
        return m->get(*this, {}, *result);
    }
    return InvokeMember(*this, m, flags, args, result, argErr);
}
