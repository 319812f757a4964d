#pragma once
// How a member row persists and resets the field behind it: one exchange
// function per field type, chosen at compile time from the field's C++ type.
// The row names the field by a path (a member pointer, then member pointers
// into nested structs and array indexes) or by a getter and setter pair.
#include <string>
#include <type_traits>
#include <utility>

#include "platform/dispatch.h"
#include "platform/property_bag.h"

namespace persisted_detail {

template <class F>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
    using Class = C;
};

template <auto First>
auto& Object(DispatchObject& self) {
    return static_cast<typename MemberOf<decltype(First)>::Class&>(self);
}

// Follows the rest of a path from `at`: a member pointer selects a member, any
// other step indexes an array.
template <class T>
T& Walk(T& at) {
    return at;
}
template <auto Step, auto... Rest, class T>
auto& Walk(T& at) {
    if constexpr (std::is_member_object_pointer_v<decltype(Step)>) {
        return Walk<Rest...>(at.*Step);
    } else {
        return Walk<Rest...>(at[Step]);
    }
}

template <auto First, auto... Rest>
auto& FieldRef(DispatchObject& self) {
    static_assert(std::is_member_object_pointer_v<decltype(First)>,
                  "a reset names a field, not accessors");
    return Walk<Rest...>(Object<First>(self).*First);
}

template <class T>
void ExchangeValue(CPropExchange* pPX, const MemberDesc& m, T& field) {
    const PlainValue& def = m.persistDefault;
    if constexpr (std::is_same_v<T, Variant>) {
        if (m.savesZero) {
            ExchangeInput(pPX, m.persistName, field, def.kind, MakeValue(def));
        } else {
            PX_Variant(pPX, m.persistName, field, def.kind, MakeValue(def));
        }
    } else if constexpr (std::is_same_v<T, int16_t>) {
        PX_Short(pPX, m.persistName, field, static_cast<int16_t>(def.number));
    } else if constexpr (std::is_same_v<T, uint8_t>) {
        // A byte is stored as a short; a load keeps its low 8 bits.
        int16_t stored = field;
        PX_Short(pPX, m.persistName, stored, static_cast<int16_t>(def.number));
        field = static_cast<uint8_t>(stored);
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
        const std::string fallback = m.keepsWhenMissing ? field : std::string(def.text);
        PX_String(pPX, m.persistName, field, fallback);
    } else {
        static_assert(sizeof(T) == 0, "no exchange for this field type");
    }
}

// A value read through `Get` and, on loading, handed to `Set`.
template <auto Get, auto Set>
void ExchangeThrough(DispatchObject& self, CPropExchange* pPX, const MemberDesc& m) {
    auto& object = Object<Get>(self);
    auto value = (object.*Get)();
    ExchangeValue(pPX, m, value);
    if (pPX->IsLoading()) (object.*Set)(std::move(value));
}

}  // namespace persisted_detail

template <auto... Path>
void ExchangeField(DispatchObject& self, CPropExchange* pPX, const MemberDesc& m) {
    using namespace persisted_detail;
    if constexpr ((std::is_member_function_pointer_v<decltype(Path)> && ...)) {
        static_assert(sizeof...(Path) == 2, "accessors are a getter and a setter");
        ExchangeThrough<Path...>(self, pPX, m);
    } else {
        ExchangeValue(pPX, m, FieldRef<Path...>(self));
    }
}

template <auto... Path>
void ResetField(DispatchObject& self, const MemberDesc& m) {
    auto& field = persisted_detail::FieldRef<Path...>(self);
    using T = std::remove_cvref_t<decltype(field)>;
    if constexpr (std::is_same_v<T, Variant>) {
        field = MakeValue(m.resetValue);
    } else if constexpr (std::is_same_v<T, std::string>) {
        field = std::string(m.resetValue.text);
    } else {
        field = static_cast<T>(m.resetValue.number);
    }
}
