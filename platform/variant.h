#pragma once
// The automation value: a 16-bit type code and a 16-byte payload, with
// deep-copy ownership of strings and arrays. Text is UTF-8 (the system code
// page here), so strings are byte strings and compare byte-wise.
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com.h"
#include "platform/value_kind.h"

using VARIANT_BOOL = int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;
using DATE = double;  // days since 30 December 1899, fraction = time of day

// Currency: a 64-bit integer scaled by 10,000.
struct CY {
    int64_t int64 = 0;
    friend bool operator==(CY, CY) = default;
};

// 96-bit unsigned integer with a power-of-ten scale (0..28) and a sign.
struct DECIMAL {
    uint16_t wReserved = 0;
    uint8_t scale = 0;
    uint8_t sign = 0;  // DECIMAL_NEG or 0
    uint32_t Hi32 = 0;
    uint64_t Lo64 = 0;
    friend bool operator==(const DECIMAL&, const DECIMAL&) = default;
};
constexpr uint8_t DECIMAL_NEG = 0x80;

class SafeArray;
struct SafeArrayDeleter {
    void operator()(SafeArray* p) const;
};
using SafeArrayPtr = std::unique_ptr<SafeArray, SafeArrayDeleter>;

// VariantChangeType flags.
constexpr uint16_t VARIANT_NOVALUEPROP = 0x1;
constexpr uint16_t VARIANT_ALPHABOOL = 0x2;  // Boolean to text gives "True"/"False"

class Variant {
  public:
    Variant() noexcept { u_.llVal = 0; }
    ~Variant() {
        if (!IsPlainKind(vt_)) ReleaseOwned();
    }
    // Values without a string, array or object (numbers, Booleans, dates...)
    // copy and move as their bits; the hot paths of dispatch rely on that.
    Variant(const Variant& other) : vt_(other.vt_) {
        CopyPayload(other);
        if (!IsPlainKind(vt_)) CopyOwned(other);
    }
    Variant& operator=(const Variant& other) {
        if (IsPlainKind(vt_) && IsPlainKind(other.vt_)) {
            vt_ = other.vt_;
            CopyPayload(other);
            return *this;
        }
        return AssignSlow(other);
    }
    // A move hands the owned pointer over with the bits.
    Variant(Variant&& other) noexcept : vt_(std::exchange(other.vt_, VT_EMPTY)) {
        CopyPayload(other);
    }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            if (!IsPlainKind(vt_)) ReleaseOwned();
            vt_ = std::exchange(other.vt_, VT_EMPTY);
            CopyPayload(other);
        }
        return *this;
    }

    // Named makers, one per kind, so every value's kind is explicit at the call.
    static Variant Null();
    static Variant I1(int8_t v);
    static Variant UI1(uint8_t v);
    static Variant I2(int16_t v);
    static Variant UI2(uint16_t v);
    static Variant I4(int32_t v);
    static Variant UI4(uint32_t v);
    static Variant I8(int64_t v);
    static Variant UI8(uint64_t v);
    static Variant Int(int32_t v);
    static Variant UInt(uint32_t v);
    static Variant R4(float v);
    static Variant R8(double v);
    static Variant Cy(CY v);
    static Variant Date(DATE v);
    static Variant Bool(bool v);             // TRUE is stored as -1
    static Variant BoolRaw(VARIANT_BOOL v);  // keeps the stored bits (a reset may hold 1)
    static Variant Error(SCODE v);
    static Variant Decimal(const DECIMAL& v);
    static Variant Str(std::string v);
    static Variant Dispatch(ComPtr<IDispatch> v);
    static Variant Array(SafeArrayPtr v);  // type = VT_ARRAY | element type; null gives empty

    VARTYPE vt() const { return vt_; }
    bool IsEmpty() const { return vt_ == VT_EMPTY; }
    bool IsArray() const { return (vt_ & VT_ARRAY) != 0; }

    // Payload readers; each requires the matching kind (checked in debug builds).
    int8_t cVal() const;
    uint8_t bVal() const;
    int16_t iVal() const;
    uint16_t uiVal() const;
    int32_t lVal() const;    // VT_I4 and VT_INT
    uint32_t ulVal() const;  // VT_UI4 and VT_UINT
    int64_t llVal() const;
    uint64_t ullVal() const;
    float fltVal() const;
    double dblVal() const;
    CY cyVal() const;
    DATE date() const;
    VARIANT_BOOL boolVal() const;
    SCODE scode() const;
    const DECIMAL& decVal() const;
    const std::string& bstrVal() const;
    std::string& bstrVal();
    IDispatch* pdispVal() const;
    SafeArray* parray() const;
    // Hands the array over to the caller and leaves the value empty.
    SafeArrayPtr TakeArray();

    // Releases the payload and leaves the value empty.
    void Clear();

    // Same kind and same payload, arrays compared element by element; NaN equals
    // NaN with the same bits. Meant for tests and hosts, not for block logic.
    friend bool operator==(const Variant& a, const Variant& b);

  private:
    // Copies the payload of `other`, whose type code this value already holds.
    // Only a decimal fills the whole payload; copying just the first eight bytes
    // of the others also spares a stall on a value whose maker stored them alone.
    void CopyPayload(const Variant& other) {
        if (vt_ == VT_DECIMAL) {
            u_ = other.u_;
        } else {
            std::memcpy(static_cast<void*>(&u_), &other.u_, sizeof(int64_t));
        }
    }
    // Replaces the borrowed pointer (just copied with the bits) by one of our
    // own. On failure this value is left empty and the exception goes on.
    void CopyOwned(const Variant& other);
    void ReleaseOwned() noexcept;
    Variant& AssignSlow(const Variant& other);

    VARTYPE vt_ = VT_EMPTY;
    // The pointer arms are owned exactly when the type code says so
    // (IsPlainKind false): a string for VT_BSTR, a reference for VT_DISPATCH,
    // the array for VT_ARRAY kinds.
    union {
        int8_t cVal;
        uint8_t bVal;
        int16_t iVal;
        uint16_t uiVal;
        int32_t lVal;
        uint32_t ulVal;
        int64_t llVal;
        uint64_t ullVal;
        float fltVal;
        double dblVal;
        CY cyVal;
        DATE date;
        VARIANT_BOOL boolVal;
        SCODE scode;
        DECIMAL decVal;
        std::string* str;
        IDispatch* disp;
        SafeArray* array;
    } u_{};  // CY and DECIMAL have member initialisers, so the union needs one too
};

// The platform's VARIANT is a type code and a 16-byte payload; ours is no larger.
static_assert(sizeof(Variant) <= 24);

// The scalar makers are inline: hosts and blocks build values on every call.
inline Variant Variant::Null() {
    Variant v;
    v.vt_ = VT_NULL;
    return v;
}

inline Variant Variant::I1(int8_t x) {
    Variant v;
    v.vt_ = VT_I1;
    v.u_.cVal = x;
    return v;
}

inline Variant Variant::UI1(uint8_t x) {
    Variant v;
    v.vt_ = VT_UI1;
    v.u_.bVal = x;
    return v;
}

inline Variant Variant::I2(int16_t x) {
    Variant v;
    v.vt_ = VT_I2;
    v.u_.iVal = x;
    return v;
}

inline Variant Variant::UI2(uint16_t x) {
    Variant v;
    v.vt_ = VT_UI2;
    v.u_.uiVal = x;
    return v;
}

inline Variant Variant::I4(int32_t x) {
    Variant v;
    v.vt_ = VT_I4;
    v.u_.lVal = x;
    return v;
}

inline Variant Variant::UI4(uint32_t x) {
    Variant v;
    v.vt_ = VT_UI4;
    v.u_.ulVal = x;
    return v;
}

inline Variant Variant::I8(int64_t x) {
    Variant v;
    v.vt_ = VT_I8;
    v.u_.llVal = x;
    return v;
}

inline Variant Variant::UI8(uint64_t x) {
    Variant v;
    v.vt_ = VT_UI8;
    v.u_.ullVal = x;
    return v;
}

inline Variant Variant::Int(int32_t x) {
    Variant v = I4(x);
    v.vt_ = VT_INT;
    return v;
}

inline Variant Variant::UInt(uint32_t x) {
    Variant v = UI4(x);
    v.vt_ = VT_UINT;
    return v;
}

inline Variant Variant::R4(float x) {
    Variant v;
    v.vt_ = VT_R4;
    v.u_.fltVal = x;
    return v;
}

inline Variant Variant::R8(double x) {
    Variant v;
    v.vt_ = VT_R8;
    v.u_.dblVal = x;
    return v;
}

inline Variant Variant::Cy(CY x) {
    Variant v;
    v.vt_ = VT_CY;
    v.u_.cyVal = x;
    return v;
}

inline Variant Variant::Date(DATE x) {
    Variant v;
    v.vt_ = VT_DATE;
    v.u_.date = x;
    return v;
}

inline Variant Variant::Bool(bool x) {
    return BoolRaw(x ? VARIANT_TRUE : VARIANT_FALSE);
}

inline Variant Variant::BoolRaw(VARIANT_BOOL x) {
    Variant v;
    v.vt_ = VT_BOOL;
    v.u_.boolVal = x;
    return v;
}

inline Variant Variant::Error(SCODE x) {
    Variant v;
    v.vt_ = VT_ERROR;
    v.u_.scode = x;
    return v;
}

inline Variant Variant::Decimal(const DECIMAL& x) {
    Variant v;
    v.vt_ = VT_DECIMAL;
    v.u_.decVal = x;
    return v;
}

// The payload readers are inline: blocks and dispatch read values on every call.
inline int8_t Variant::cVal() const {
    assert(vt_ == VT_I1);
    return u_.cVal;
}

inline uint8_t Variant::bVal() const {
    assert(vt_ == VT_UI1);
    return u_.bVal;
}

inline int16_t Variant::iVal() const {
    assert(vt_ == VT_I2);
    return u_.iVal;
}

inline uint16_t Variant::uiVal() const {
    assert(vt_ == VT_UI2);
    return u_.uiVal;
}

inline int32_t Variant::lVal() const {
    assert(vt_ == VT_I4 || vt_ == VT_INT);
    return u_.lVal;
}

inline uint32_t Variant::ulVal() const {
    assert(vt_ == VT_UI4 || vt_ == VT_UINT);
    return u_.ulVal;
}

inline int64_t Variant::llVal() const {
    assert(vt_ == VT_I8);
    return u_.llVal;
}

inline uint64_t Variant::ullVal() const {
    assert(vt_ == VT_UI8);
    return u_.ullVal;
}

inline float Variant::fltVal() const {
    assert(vt_ == VT_R4);
    return u_.fltVal;
}

inline double Variant::dblVal() const {
    assert(vt_ == VT_R8);
    return u_.dblVal;
}

inline CY Variant::cyVal() const {
    assert(vt_ == VT_CY);
    return u_.cyVal;
}

inline DATE Variant::date() const {
    assert(vt_ == VT_DATE);
    return u_.date;
}

inline VARIANT_BOOL Variant::boolVal() const {
    assert(vt_ == VT_BOOL);
    return u_.boolVal;
}

inline SCODE Variant::scode() const {
    assert(vt_ == VT_ERROR);
    return u_.scode;
}

inline const DECIMAL& Variant::decVal() const {
    assert(vt_ == VT_DECIMAL);
    return u_.decVal;
}

using VARIANT = Variant;
using BlockValue = Variant;

// The platform calls, as the blocks know them.
void VariantInit(Variant* v);
HRESULT VariantClear(Variant* v);
HRESULT VariantCopy(Variant* dst, const Variant* src);
// Converts `src` to kind `vt` into `dst` by the OLE Automation coercion rules in
// the "C"/English locale; `dst` may be `src` (in-place). On failure `dst` is left
// unchanged and the result is DISP_E_TYPEMISMATCH (no conversion between the
// kinds, arrays included), DISP_E_OVERFLOW (out of the target's range),
// DISP_E_BADVARTYPE (a kind that is not a value kind) or E_INVALIDARG (a null
// pointer, a malformed DECIMAL source, a date to text outside 1/1/100..12/31/9999).
HRESULT VariantChangeType(Variant* dst, const Variant* src, uint16_t flags, VARTYPE vt);

// Name of a kind as the host prints it ("r8", "bstr", ...); empty for unknown kinds.
std::string_view VarTypeName(VARTYPE vt);
