#include "platform/variant.h"

#include <cassert>
#include <cstring>
#include <new>
#include <utility>

#include "platform/safearray.h"

namespace {

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
        // Copy first so that a failed copy leaves this value as it was.
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void Variant::CopyOwned(const Variant& other) {
    try {
        if (vt_ == VT_BSTR) {
            u_.str = new std::string(*other.u_.str);
        } else if (vt_ == VT_DISPATCH) {
            if (u_.disp) u_.disp->AddRef();
        } else {
            SafeArrayPtr array;
            if (FAILED(SafeArrayCopy(other.u_.array, &array))) throw std::bad_alloc();
            u_.array = array.release();
        }
    } catch (...) {
        vt_ = VT_EMPTY;  // the pointer is still the other value's
        throw;
    }
}

void Variant::ReleaseOwned() noexcept {
    if (vt_ == VT_BSTR) {
        delete u_.str;
    } else if (vt_ == VT_DISPATCH) {
        if (u_.disp) u_.disp->Release();
    } else {
        delete u_.array;
    }
}

Variant Variant::Str(std::string x) {
    Variant v;
    v.u_.str = new std::string(std::move(x));
    v.vt_ = VT_BSTR;
    return v;
}

Variant Variant::Dispatch(ComPtr<IDispatch> x) {
    Variant v;
    v.u_.disp = x.Detach();
    v.vt_ = VT_DISPATCH;
    return v;
}

Variant Variant::Array(SafeArrayPtr x) {
    Variant v;
    if (x) {
        v.vt_ = static_cast<VARTYPE>(VT_ARRAY | x->ElementType());
        v.u_.array = x.release();
    }
    return v;
}

const std::string& Variant::bstrVal() const {
    assert(vt_ == VT_BSTR);
    return *u_.str;
}

std::string& Variant::bstrVal() {
    assert(vt_ == VT_BSTR);
    return *u_.str;
}

IDispatch* Variant::pdispVal() const {
    assert(vt_ == VT_DISPATCH);
    return u_.disp;
}

SafeArray* Variant::parray() const {
    assert(IsArray());
    return u_.array;
}

SafeArrayPtr Variant::TakeArray() {
    assert(IsArray());
    SafeArrayPtr taken(u_.array);
    vt_ = VT_EMPTY;
    Clear();
    return taken;
}

void Variant::Clear() {
    if (!IsPlainKind(vt_)) ReleaseOwned();
    vt_ = VT_EMPTY;
    u_.decVal = DECIMAL{};  // the widest member: clears every payload byte
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.vt_ != b.vt_) return false;
    if (a.IsArray()) return SameArrays(*a.u_.array, *b.u_.array);
    if (a.vt_ == VT_BSTR) return *a.u_.str == *b.u_.str;
    if (a.vt_ == VT_DISPATCH) return a.u_.disp == b.u_.disp;
    // Numbers compare by their bits, so a NaN equals the same NaN and 0.0
    // differs from -0.0: a copy must be indistinguishable from its source.
    const ValueKind* kind = FindValueKind(a.vt_);
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
    const ValueKind* kind = FindValueKind(vt);
    return kind ? kind->name : std::string_view();
}
