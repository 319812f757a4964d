#pragma once
// How a member row persists and resets the field behind it: one exchange
// function per field type, chosen at compile time from the field's C++ type.
#include <string>
#include <type_traits>

#include "platform/dispatch.h"
#include "platform/property_bag.h"

namespace persisted_detail {

template <class F>
struct FieldOf;
template <class C, class T>
struct FieldOf<T C::*> {
    using Class = C;
    using Type = T;
};

template <auto Field>
auto& FieldRef(DispatchObject& self) {
    using F = FieldOf<decltype(Field)>;
    return static_cast<typename F::Class&>(self).*Field;
}

}  // namespace persisted_detail

template <auto Field>
void ExchangeField(DispatchObject& self, CPropExchange* pPX, const MemberDesc& m) {
    auto& field = persisted_detail::FieldRef<Field>(self);
    using T = std::remove_cvref_t<decltype(field)>;
    const PlainValue& def = m.persistDefault;
    if constexpr (std::is_same_v<T, Variant>) {
        PX_Variant(pPX, m.persistName, field, def.kind, MakeValue(def));
    } else if constexpr (std::is_same_v<T, int16_t>) {
        PX_Short(pPX, m.persistName, field, static_cast<int16_t>(def.number));
    } else if constexpr (std::is_same_v<T, int32_t>) {
        // BOOL is a long too: the declared kind tells the two apart.
        if (def.kind == VT_BOOL) {
            PX_Bool(pPX, m.persistName, field, def.number != 0 ? TRUE : FALSE);
        } else {
            PX_Long(pPX, m.persistName, field, static_cast<int32_t>(def.number));
        }
    } else if constexpr (std::is_same_v<T, float>) {
        PX_Float(pPX, m.persistName, field, static_cast<float>(def.number));
    } else if constexpr (std::is_same_v<T, double>) {
        PX_Double(pPX, m.persistName, field, def.number);
    } else if constexpr (std::is_same_v<T, std::string>) {
        PX_String(pPX, m.persistName, field, std::string(def.text));
    } else {
        static_assert(sizeof(T) == 0, "no exchange for this field type");
    }
}

template <auto Field>
void ResetField(DispatchObject& self, const MemberDesc& m) {
    auto& field = persisted_detail::FieldRef<Field>(self);
    using T = std::remove_cvref_t<decltype(field)>;
    if constexpr (std::is_same_v<T, Variant>) {
        field = MakeValue(m.resetValue);
    } else if constexpr (std::is_same_v<T, std::string>) {
        field = std::string(m.resetValue.text);
    } else {
        field = static_cast<T>(m.resetValue.number);
    }
}
