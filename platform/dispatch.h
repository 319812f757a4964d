#pragma once
// Members as data: each automation class declares its properties and methods
// once, in a static DispatchTable built from member-function pointers. Dispatch,
// the type library and the host all read that one table. The declared types
// come from the C++ signatures, so a table entry cannot disagree with its handler.
#include <array>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "platform/variant.h"

enum class MemberKind : uint8_t { Property, Method };

class DispatchObject;
class CPropExchange;
struct MemberDesc;

// A value a member row can name at compile time: a kind with a number (numeric
// kinds and Booleans, whose raw value it is) or a text.
struct PlainValue {
    constexpr PlainValue(VARTYPE k = VT_EMPTY, double n = 0, std::string_view t = {})
        : kind(k), number(n), text(t) {}
    VARTYPE kind;
    double number;
    std::string_view text;
};
// The value a PlainValue names.
Variant MakeValue(const PlainValue& plain);

// Persist and reset one field of an object, as its member row says.
using ExchangeHandler = void (*)(DispatchObject& self, CPropExchange* pPX, const MemberDesc& m);
using ResetHandler = void (*)(DispatchObject& self, const MemberDesc& m);

// Defined in platform/persisted_field.h, which every control sees. `Path`
// names the field (see MemberDesc::Persist).
template <auto... Path>
void ExchangeField(DispatchObject& self, CPropExchange* pPX, const MemberDesc& m);
template <auto... Path>
void ResetField(DispatchObject& self, const MemberDesc& m);

// An enumeration of the type library. A member typed by one still reads and
// writes its integer kind; the type library lists the names, and hosts accept
// a name where the number goes.
struct EnumValue {
    std::string_view name;
    int32_t value;
};
struct EnumDesc {
    std::string_view name;  // "COMPARISON_OPTIONS"
    std::span<const EnumValue> values;
};

// Handlers get the arguments already coerced to the declared kinds, in slots
// that belong to the call: they may move from them. A put handler may move
// from `value` only when `valueIsOurs` (a coerced copy, or a value the caller
// gave up); otherwise it is the caller's and stays as it is.
using GetHandler = HRESULT (*)(DispatchObject& self, std::span<Variant> params, Variant& result);
using PutHandler = HRESULT (*)(DispatchObject& self, std::span<Variant> params, Variant& value,
                               bool valueIsOurs);
using CallHandler = HRESULT (*)(DispatchObject& self, std::span<Variant> args, Variant& result);

constexpr size_t kMaxParams = 4;

struct MemberDesc {
    std::string_view name;
    DISPID dispid = DISPID_UNKNOWN;
    MemberKind kind = MemberKind::Property;
    VARTYPE type = VT_EMPTY;     // property get type, or method result (VT_EMPTY: none)
    VARTYPE putType = VT_EMPTY;  // type the property put takes (may differ from `type`)
    // Index parameters of a property, or arguments of a method.
    std::array<VARTYPE, kMaxParams> paramTypes{};
    std::array<std::string_view, kMaxParams> paramNames{};
    uint8_t paramCount = 0;
    // Bit i set: argument i is passed by reference, so what the handler leaves
    // in it is handed back to the caller (the others stay as the caller gave them).
    uint8_t byRefParams = 0;
    bool hidden = false;
    bool hiddenPut = false;  // only the property put is hidden (the get is shown)
    std::string_view help;
    GetHandler get = nullptr;               // null: write-only property
    PutHandler put = nullptr;               // null: read-only property
    CallHandler call = nullptr;             // methods only
    const EnumDesc* enumeration = nullptr;  // the type's enumeration, where it has one

    // Where the member is stored, for the plain parts a block need not write:
    // its validity-table entry (inputs: 2 and up; 0 for none), its persisted
    // name with the kind it is stored as and the value a load without it gives
    // (PX_Variant rules for value fields, the PX_ function of the field's type
    // otherwise), and its value after a reset.
    int16_t inputSlot = 0;
    const char* persistName = nullptr;
    PlainValue persistDefault;
    bool savesZero = false;         // an unconvertible value saves as zero, not the default
    bool keepsWhenMissing = false;  // a load without it leaves the member as it is
    bool resets = false;
    PlainValue resetValue;
    ExchangeHandler exchange = nullptr;
    ResetHandler reset = nullptr;

    // Marks the member hidden (type library flag; hosts list it but do not show it).
    constexpr MemberDesc Hidden() const {
        MemberDesc m = *this;
        m.hidden = true;
        return m;
    }
    // Hides only the property put, for a property hosts read but seldom write.
    constexpr MemberDesc HiddenPut() const {
        MemberDesc m = *this;
        m.hiddenPut = true;
        return m;
    }
    // Types the property's value by an enumeration.
    constexpr MemberDesc Enum(const EnumDesc& e) const {
        MemberDesc m = *this;
        m.enumeration = &e;
        return m;
    }
    // The member's entry in the validity table.
    constexpr MemberDesc Input(int16_t slot) const {
        MemberDesc m = *this;
        m.inputSlot = slot;
        return m;
    }
    // Persists the field `Path` names under `name`; `def` is what a load
    // without it gives (for a value field, also its stored kind and what an
    // unconvertible save writes). The path starts with a data-member pointer
    // of the class and goes on with member pointers into nested structs and
    // indexes into arrays: `<&C::InputX>`, `<&C::m_inputs, 3>`,
    // `<&C::p_, &Params::frequency>`. Or it is a pair of member functions, a
    // getter giving the stored value and a setter taking a loaded one, for a
    // member stored in another unit or whose load does more than store.
    template <auto... Path>
    constexpr MemberDesc Persist(const char* name, PlainValue def) const {
        MemberDesc m = *this;
        m.persistName = name;
        m.persistDefault = def;
        m.exchange = &ExchangeField<Path...>;
        return m;
    }
    // The same, for a value input: a save of a value that does not convert
    // writes the stored kind's zero rather than the load default.
    template <auto... Path>
    constexpr MemberDesc PersistInput(const char* name, PlainValue def) const {
        MemberDesc m = Persist<Path...>(name, def);
        m.savesZero = true;
        return m;
    }
    // A load without the member's property leaves the member as it is (text
    // members only).
    constexpr MemberDesc KeepWhenMissing() const {
        MemberDesc m = *this;
        m.keepsWhenMissing = true;
        return m;
    }
    // A reset sets the field `Path` names (as for Persist, fields only) to `value`.
    template <auto... Path>
    constexpr MemberDesc Reset(PlainValue value) const {
        MemberDesc m = *this;
        m.resets = true;
        m.resetValue = value;
        m.reset = &ResetField<Path...>;
        return m;
    }
    // Names the parameters, for the type library and the host's help.
    template <class... Names>
    constexpr MemberDesc Params(Names... names) const {
        static_assert(sizeof...(Names) <= kMaxParams);
        MemberDesc m = *this;
        size_t i = 0;
        ((m.paramNames[i++] = names), ...);
        return m;
    }
};

// A class's members: its own entries plus those of its base class's table.
// Lookups by DISPID and by case-insensitive name; a derived entry hides a base
// entry with the same DISPID.
class DispatchTable {
  public:
    DispatchTable(const DispatchTable* base, std::vector<MemberDesc> own);
    DispatchTable(const DispatchTable&) = delete;
    DispatchTable& operator=(const DispatchTable&) = delete;

    const MemberDesc* Find(DISPID dispid) const;
    const MemberDesc* Find(std::string_view name) const;
    // Every member, own ones first, in declaration order.
    std::span<const MemberDesc* const> All() const { return all_; }

  private:
    // Blocks number their own members from 1 up: those DISPIDs index a table.
    static constexpr DISPID kDirectIds = 64;

    std::vector<MemberDesc> own_;
    std::vector<const MemberDesc*> all_;
    std::array<const MemberDesc*, kDirectIds> byId_{};  // DISPIDs 0..kDirectIds-1
    std::vector<DISPID> ids_;  // parallel to all_, scanned for the other DISPIDs
};

// --- building entries from member functions ---------------------------------

namespace dispatch_detail {

template <class T>
struct Plain {
    using type = std::remove_cvref_t<T>;
};

// The automation kind a C++ parameter or result stands for.
template <class T>
constexpr VARTYPE KindOf() {
    using U = typename Plain<T>::type;
    if constexpr (std::is_same_v<U, void>)
        return VT_EMPTY;
    else if constexpr (std::is_same_v<U, bool>)
        return VT_BOOL;
    else if constexpr (std::is_same_v<U, int16_t>)
        return VT_I2;
    else if constexpr (std::is_same_v<U, int32_t>)
        return VT_I4;
    else if constexpr (std::is_same_v<U, float>)
        return VT_R4;
    else if constexpr (std::is_same_v<U, double>)
        return VT_R8;
    else if constexpr (std::is_same_v<U, std::string>)
        return VT_BSTR;
    else if constexpr (std::is_same_v<U, Variant>)
        return VT_VARIANT;
    else if constexpr (std::is_same_v<U, IDispatch*>)
        return VT_DISPATCH;
    else
        static_assert(sizeof(U) == 0, "no automation kind for this C++ type");
}

// Reads an argument already coerced to KindOf<T>(). A handler taking a value
// by value or by rvalue reference gets it moved when the slot is ours.
template <class T>
decltype(auto) Arg(Variant& v, bool ours = true) {
    using U = typename Plain<T>::type;
    if constexpr (std::is_same_v<U, Variant> &&
                  (std::is_same_v<T, Variant> || std::is_rvalue_reference_v<T>))
        return ours ? Variant(std::move(v)) : Variant(v);
    else if constexpr (std::is_same_v<U, bool>)
        return v.boolVal() != 0;
    else if constexpr (std::is_same_v<U, int16_t>)
        return v.iVal();
    else if constexpr (std::is_same_v<U, int32_t>)
        return v.lVal();
    else if constexpr (std::is_same_v<U, float>)
        return v.fltVal();
    else if constexpr (std::is_same_v<U, double>)
        return v.dblVal();
    else if constexpr (std::is_same_v<U, std::string>)
        return static_cast<const std::string&>(v.bstrVal());
    else
        return static_cast<const Variant&>(v);
}

template <class T>
Variant Result(T&& value) {
    using U = typename Plain<T>::type;
    if constexpr (std::is_same_v<U, bool>)
        return Variant::Bool(value);
    else if constexpr (std::is_same_v<U, int16_t>)
        return Variant::I2(value);
    else if constexpr (std::is_same_v<U, int32_t>)
        return Variant::I4(value);
    else if constexpr (std::is_same_v<U, float>)
        return Variant::R4(value);
    else if constexpr (std::is_same_v<U, double>)
        return Variant::R8(value);
    else if constexpr (std::is_same_v<U, std::string>)
        return Variant::Str(std::forward<T>(value));
    else if constexpr (std::is_same_v<U, IDispatch*>)
        return Variant::Dispatch(ComPtr<IDispatch>(value));
    else
        return Variant(std::forward<T>(value));
}

template <class F>
struct Fn;
template <class C, class R, class... A>
struct Fn<R (C::*)(A...)> {
    using Class = C;
    using Return = R;
    using Args = std::tuple<A...>;
    static constexpr size_t arity = sizeof...(A);
};
template <class C, class R, class... A>
struct Fn<R (C::*)(A...) const> : Fn<R (C::*)(A...)> {};

template <class Args, size_t... I>
constexpr std::array<VARTYPE, kMaxParams> KindsOf(std::index_sequence<I...>) {
    return {KindOf<std::tuple_element_t<I, Args>>()...};
}

template <auto F, size_t... I>
decltype(auto) Apply(DispatchObject& self, [[maybe_unused]] std::span<Variant> args,
                     std::index_sequence<I...>) {
    using T = Fn<decltype(F)>;
    auto& obj = static_cast<typename T::Class&>(self);
    return (obj.*F)(Arg<std::tuple_element_t<I, typename T::Args>>(args[I])...);
}

template <auto Get>
HRESULT GetThunk(DispatchObject& self, std::span<Variant> params, Variant& result) {
    using T = Fn<decltype(Get)>;
    // Invoke calls a plain get's thunk directly, so failures become codes here.
    try {
        result = Result(Apply<Get>(self, params, std::make_index_sequence<T::arity>()));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
    return S_OK;
}

// A put handler may return void or an HRESULT (a put the object refuses).
template <auto Put>
HRESULT PutThunk(DispatchObject& self, std::span<Variant> params, Variant& value,
                 bool valueIsOurs) {
    using T = Fn<decltype(Put)>;
    using Value = std::tuple_element_t<T::arity - 1, typename T::Args>;
    auto& obj = static_cast<typename T::Class&>(self);
    auto call = [&]<size_t... I>(std::index_sequence<I...>) {
        return (obj.*Put)(Arg<std::tuple_element_t<I, typename T::Args>>(params[I])...,
                          Arg<Value>(value, valueIsOurs));
    };
    if constexpr (std::is_same_v<typename T::Return, void>) {
        call(std::make_index_sequence<T::arity - 1>());
        return S_OK;
    } else {
        return call(std::make_index_sequence<T::arity - 1>());
    }
}

template <auto Call>
HRESULT CallThunk(DispatchObject& self, std::span<Variant> args, Variant& result) {
    using T = Fn<decltype(Call)>;
    if constexpr (std::is_same_v<typename T::Return, void>) {
        Apply<Call>(self, args, std::make_index_sequence<T::arity>());
        result.Clear();
    } else {
        result = Result(Apply<Call>(self, args, std::make_index_sequence<T::arity>()));
    }
    return S_OK;
}

}  // namespace dispatch_detail

// A property with a getter and a setter. Parameterised properties take their
// index parameters first (`Variant GetX(int32_t index)`, `void SetX(int32_t index,
// const Variant& v)`). A getter only reads: it fires no events and runs nothing,
// so Invoke calls it without holding a reference of its own.
template <auto Get, auto Put>
constexpr MemberDesc Property(std::string_view name, DISPID dispid, std::string_view help) {
    using namespace dispatch_detail;
    MemberDesc m;
    m.name = name;
    m.dispid = dispid;
    m.kind = MemberKind::Property;
    m.help = help;
    if constexpr (!std::is_same_v<decltype(Get), std::nullptr_t>) {
        using G = Fn<decltype(Get)>;
        m.type = KindOf<typename G::Return>();
        m.paramCount = G::arity;
        m.paramTypes = KindsOf<typename G::Args>(std::make_index_sequence<G::arity>());
        m.get = &GetThunk<Get>;
    }
    if constexpr (!std::is_same_v<decltype(Put), std::nullptr_t>) {
        using P = Fn<decltype(Put)>;
        m.putType = KindOf<std::tuple_element_t<P::arity - 1, typename P::Args>>();
        if (m.get == nullptr) m.type = m.putType;
        m.paramCount = P::arity - 1;
        m.paramTypes = KindsOf<typename P::Args>(std::make_index_sequence<P::arity - 1>());
        m.put = &PutThunk<Put>;
    } else {
        m.putType = m.type;
    }
    return m;
}

template <auto Get>
constexpr MemberDesc ReadOnly(std::string_view name, DISPID dispid, std::string_view help) {
    return Property<Get, nullptr>(name, dispid, help);
}

template <auto Put>
constexpr MemberDesc WriteOnly(std::string_view name, DISPID dispid, std::string_view help) {
    return Property<nullptr, Put>(name, dispid, help);
}

template <auto Call>
constexpr MemberDesc Method(std::string_view name, DISPID dispid, std::string_view help) {
    using namespace dispatch_detail;
    using F = Fn<decltype(Call)>;
    MemberDesc m;
    m.name = name;
    m.dispid = dispid;
    m.kind = MemberKind::Method;
    m.help = help;
    m.type = KindOf<typename F::Return>();
    m.paramCount = F::arity;
    m.paramTypes = KindsOf<typename F::Args>(std::make_index_sequence<F::arity>());
    m.call = &CallThunk<Call>;
    return m;
}

// An object whose members come from a DispatchTable. Implements GetIDsOfNames
// and Invoke for every such class. Arguments are coerced to the declared kinds
// in slots of the call's own, so the caller's values stay as they were (unless
// it passes DISPATCH_MOVEARGS); any exception a handler lets out is answered
// as E_OUTOFMEMORY (memory) or DISP_E_EXCEPTION (anything else).
class DispatchObject : public RefCounted<IDispatch> {
  public:
    HRESULT GetIDsOfNames(std::string_view name, DISPID* dispid) override;
    HRESULT Invoke(DISPID dispid, uint16_t flags, std::span<Variant> args, Variant* result,
                   uint32_t* argErr = nullptr) override;
    const DispatchTable* GetTypeInfo() const override { return &Members(); }

    virtual const DispatchTable& Members() const = 0;

  private:
    // The first call looks the table up; every call passes on to one other
    // function as a jump, so Invoke itself needs no stack frame.
    [[gnu::noinline]] HRESULT InvokeFirst(DISPID dispid, uint16_t flags, std::span<Variant> args,
                                          Variant* result, uint32_t* argErr);

    // Members() of this object, looked up once: a class's table never changes.
    mutable const DispatchTable* members_ = nullptr;
};

// Member names compare case-insensitively (ASCII letters), as automation names do.
bool NamesEqual(std::string_view a, std::string_view b);
