#include "platform/variant.h"

#include <cassert>
#include <cstring>
#include <new>
#include <utility>

#include "platform/safearray.h"

namespace {

// Every value kind: its printed name and how many payload bytes identify it.
struct KindInfo {
    VARTYPE vt;
    std::string_view name;
    size_t payloadBytes;
};

constexpr KindInfo kKinds[] = {
    {VT_EMPTY, "empty", 0},
    {VT_NULL, "null", 0},
    {VT_I1, "i1", 1},
    {VT_UI1, "ui1", 1},
    {VT_I2, "i2", 2},
    {VT_UI2, "ui2", 2},
    {VT_I4, "i4", 4},
    {VT_UI4, "ui4", 4},
    {VT_I8, "i8", 8},
    {VT_UI8, "ui8", 8},
    {VT_INT, "int", 4},
    {VT_UINT, "uint", 4},
    {VT_R4, "r4", 4},
    {VT_R8, "r8", 8},
    {VT_CY, "cy", 8},
    {VT_DATE, "date", 8},
    {VT_BOOL, "bool", 2},
    {VT_BSTR, "bstr", 0},
    {VT_ERROR, "error", 4},
    {VT_DISPATCH, "dispatch", 0},
    {VT_DECIMAL, "decimal", 16},
    {VT_VARIANT, "variant", 0},
};

const KindInfo* FindKind(VARTYPE vt) {
    for (const KindInfo& kind : kKinds) {
        if (kind.vt == vt) return &kind;
    }
    return nullptr;
}

bool SameArrays(const SafeArray& a, const SafeArray& b) {
    if (a.ElementType() != b.ElementType() || a.Dims() != b.Dims()) return false;
    for (uint32_t d = 0; d < a.Dims(); ++d) {
        if (a.Bound(d).cElements != b.Bound(d).cElements ||
            a.Bound(d).lLbound != b.Bound(d).lLbound) {
            return false;
        }
    }
    for (size_t i = 0; i < a.Count(); ++i) {
        if (!(a.ElementAt(i) == b.ElementAt(i))) return false;
    }
    return true;
}

}  // namespace

void SafeArrayDeleter::operator()(SafeArray* p) const {
    delete p;
}

Variant& Variant::AssignSlow(const Variant& other) {
    if (this != &other) {
        // Copy first so that a failed array copy leaves this value as it was.
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void Variant::MoveResourcesFrom(Variant& other) noexcept {
    str_ = std::move(other.str_);
    other.str_.clear();
    array_ = std::move(other.array_);
    disp_ = std::move(other.disp_);
}

Variant& Variant::MoveAssignSlow(Variant& other) noexcept {
    if (this != &other) {
        vt_ = std::exchange(other.vt_, VT_EMPTY);
        u_ = other.u_;
        MoveResourcesFrom(other);
    }
    return *this;
}

void Variant::CopyFrom(const Variant& other) {
    SafeArrayPtr array;
    if (other.array_ && FAILED(SafeArrayCopy(other.array_.get(), &array))) throw std::bad_alloc();
    vt_ = other.vt_;
    u_ = other.u_;
    str_ = other.str_;
    array_ = std::move(array);
    disp_ = other.disp_;
}

Variant Variant::Str(std::string x) {
    Variant v;
    v.vt_ = VT_BSTR;
    v.str_ = std::move(x);
    return v;
}

Variant Variant::Dispatch(ComPtr<IDispatch> x) {
    Variant v;
    v.vt_ = VT_DISPATCH;
    v.disp_ = std::move(x);
    return v;
}

Variant Variant::Array(SafeArrayPtr x) {
    Variant v;
    if (x) {
        v.vt_ = static_cast<VARTYPE>(VT_ARRAY | x->ElementType());
        v.array_ = std::move(x);
    }
    return v;
}

int8_t Variant::cVal() const {
    assert(vt_ == VT_I1);
    return u_.cVal;
}

uint8_t Variant::bVal() const {
    assert(vt_ == VT_UI1);
    return u_.bVal;
}

int16_t Variant::iVal() const {
    assert(vt_ == VT_I2);
    return u_.iVal;
}

uint16_t Variant::uiVal() const {
    assert(vt_ == VT_UI2);
    return u_.uiVal;
}

int32_t Variant::lVal() const {
    assert(vt_ == VT_I4 || vt_ == VT_INT);
    return u_.lVal;
}

uint32_t Variant::ulVal() const {
    assert(vt_ == VT_UI4 || vt_ == VT_UINT);
    return u_.ulVal;
}

int64_t Variant::llVal() const {
    assert(vt_ == VT_I8);
    return u_.llVal;
}

uint64_t Variant::ullVal() const {
    assert(vt_ == VT_UI8);
    return u_.ullVal;
}

float Variant::fltVal() const {
    assert(vt_ == VT_R4);
    return u_.fltVal;
}

double Variant::dblVal() const {
    assert(vt_ == VT_R8);
    return u_.dblVal;
}

CY Variant::cyVal() const {
    assert(vt_ == VT_CY);
    return u_.cyVal;
}

DATE Variant::date() const {
    assert(vt_ == VT_DATE);
    return u_.date;
}

VARIANT_BOOL Variant::boolVal() const {
    assert(vt_ == VT_BOOL);
    return u_.boolVal;
}

SCODE Variant::scode() const {
    assert(vt_ == VT_ERROR);
    return u_.scode;
}

const DECIMAL& Variant::decVal() const {
    assert(vt_ == VT_DECIMAL);
    return u_.decVal;
}

const std::string& Variant::bstrVal() const {
    assert(vt_ == VT_BSTR);
    return str_;
}

std::string& Variant::bstrVal() {
    assert(vt_ == VT_BSTR);
    return str_;
}

IDispatch* Variant::pdispVal() const {
    assert(vt_ == VT_DISPATCH);
    return disp_.Get();
}

SafeArray* Variant::parray() const {
    assert(IsArray());
    return array_.get();
}

SafeArrayPtr Variant::TakeArray() {
    assert(IsArray());
    SafeArrayPtr taken = std::move(array_);
    Clear();
    return taken;
}

void Variant::Clear() {
    vt_ = VT_EMPTY;
    u_.decVal = DECIMAL{};  // the widest member: clears every payload byte
    std::string().swap(str_);
    array_.reset();
    disp_.Reset();
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.vt_ != b.vt_) return false;
    if (a.IsArray()) return SameArrays(*a.array_, *b.array_);
    if (a.vt_ == VT_BSTR) return a.str_ == b.str_;
    if (a.vt_ == VT_DISPATCH) return a.disp_ == b.disp_;
    // Numbers compare by their bits, so a NaN equals the same NaN and 0.0
    // differs from -0.0: a copy must be indistinguishable from its source.
    const KindInfo* kind = FindKind(a.vt_);
    return kind && std::memcmp(&a.u_, &b.u_, kind->payloadBytes) == 0;
}

void VariantInit(Variant* v) {
    // A value owns its payload, so even a fresh start must release what is
    // there; on an empty value this is the platform's plain initialisation.
    if (v) v->Clear();
}

HRESULT VariantClear(Variant* v) {
    if (!v) return E_INVALIDARG;
    v->Clear();
    return S_OK;
}

HRESULT VariantCopy(Variant* dst, const Variant* src) {
    if (!dst || !src) return E_INVALIDARG;
    if (dst == src) return S_OK;
    try {
        *dst = *src;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

std::string_view VarTypeName(VARTYPE vt) {
    const KindInfo* kind = FindKind(vt);
    return kind ? kind->name : std::string_view();
}
