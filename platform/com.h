#pragma once
// The object model the blocks and hosts share: reference-counted objects and
// the dispatch interface through which hosts reach properties, methods and
// events by DISPID or by name.
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/hresult.h"

class Variant;
class DispatchTable;
class EventTable;

// Invoke flags.
constexpr uint16_t DISPATCH_METHOD = 0x1;
constexpr uint16_t DISPATCH_PROPERTYGET = 0x2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 0x4;
// With any of the above: the caller gives its arguments up, so Invoke may move
// from them (a put value of a string or an array is then not copied). They are
// left valid but unspecified. Without it Invoke leaves them as they were.
constexpr uint16_t DISPATCH_MOVEARGS = 0x100;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_ABOUTBOX = -552;

class IUnknown {
  public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

  protected:
    virtual ~IUnknown() = default;
};

// Owning reference to a counted object; copying adds a reference.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    // Only towards a base: a downcast must be spelled out where it is meant.
    template <class U>
    requires std::is_convertible_v<U*, T*> ComPtr(const ComPtr<U>& o)
        : ComPtr(static_cast<T*>(o.Get())) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    // Takes over a reference the caller already owns (a freshly created object).
    static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Hands the reference over to the caller and leaves this pointer null.
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

  private:
    T* p_ = nullptr;
};

// Creates a counted object holding the only reference.
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
    return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
}

// Reference counting for objects that live on the host's one UI thread
// (apartment threading), so a plain counter serves.
template <class Base>
class RefCounted : public Base {
  public:
    // Final, so that calls through a derived class bind directly.
    uint32_t AddRef() final { return ++refs_; }
    uint32_t Release() final {
        uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }

  private:
    uint32_t refs_ = 1;
};

// The automation interface. Arguments come in call order (the first parameter
// first); a property put passes the new value as the last argument. They are
// in-parameters: an implementation leaves them unchanged unless the flags
// include DISPATCH_MOVEARGS.
class IDispatch : public IUnknown {
  public:
    // DISPID of a member by case-insensitive name; DISP_E_UNKNOWNNAME if none.
    virtual HRESULT GetIDsOfNames(std::string_view name, DISPID* dispid) = 0;
    // Property get, property put or method call. Returns DISP_E_MEMBERNOTFOUND
    // for a missing member or a kind the member does not have, DISP_E_BADPARAMCOUNT
    // for a wrong argument count, DISP_E_TYPEMISMATCH (with *argErr = index of the
    // argument) when an argument does not coerce to its declared type, and
    // CTL_E_SETNOTSUPPORTED / CTL_E_GETNOTSUPPORTED for a read-only or write-only
    // property. `result` may be null when the caller wants no value.
    virtual HRESULT Invoke(DISPID dispid, uint16_t flags, std::span<Variant> args, Variant* result,
                           uint32_t* argErr = nullptr) = 0;
    // The member table hosts and the type library read; null for plain sinks.
    virtual const DispatchTable* GetTypeInfo() const { return nullptr; }
    virtual const EventTable* GetEventInfo() const { return nullptr; }
};
