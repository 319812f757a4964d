#pragma once
// What the fuzz targets share: a check that stops the run when a property
// fails, the fuzzer's bytes read as typed pieces, and blocks driven as a host
// drives them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "module/class_table.h"
#include "platform/com.h"
#include "platform/events.h"
#include "platform/property_bag.h"
#include "platform/variant.h"

// Aborts, which the fuzzer reports with the input that got here.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

inline bool OneOf(int32_t status, std::initializer_list<int32_t> allowed) {
    return std::find(allowed.begin(), allowed.end(), status) != allowed.end();
}

// The fuzzer's bytes, read front to back; zeros once they run out.
class FuzzBytes {
  public:
    FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    template <class T>
    T Raw() {
        unsigned char buf[sizeof(T)] = {};
        for (unsigned char& b : buf)
            b = Byte();
        T value;
        std::memcpy(&value, buf, sizeof(T));
        return value;
    }
    // A text of fewer than `limit` bytes, any bytes.
    std::string Text(size_t limit) {
        std::string s(Byte() % limit, '\0');
        for (char& c : s)
            c = static_cast<char>(Byte());
        return s;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A member's DISPID by name; a name the object does not know stops the run.
inline DISPID MemberId(IDispatch& object, std::string_view name) {
    DISPID id = DISPID_UNKNOWN;
    Require(object.GetIDsOfNames(name, &id) == S_OK);
    return id;
}

inline HRESULT Put(IDispatch& object, DISPID id, Variant value) {
    Variant args[] = {std::move(value)};
    return object.Invoke(id, DISPATCH_PROPERTYPUT, args, nullptr);
}

// A property that must read.
inline Variant Get(IDispatch& object, DISPID id) {
    Variant out;
    Require(object.Invoke(id, DISPATCH_PROPERTYGET, {}, &out) == S_OK);
    return out;
}
inline Variant Get(IDispatch& object, std::string_view name) {
    return Get(object, MemberId(object, name));
}

// Operate, which must be answered whatever the run's own status.
inline void Operate(IDispatch& object) {
    Variant result;
    Require(object.Invoke(MemberId(object, "Operate"), DISPATCH_METHOD, {}, &result) == S_OK);
}

// A new block of class `cls` (ProgID or coclass), reset as a new control.
inline ComPtr<COleControl> NewBlock(std::string_view cls) {
    const ClassEntry* entry = FindClass(cls);
    Require(entry != nullptr);
    ComPtr<COleControl> block = entry->create();
    block->InitNew();
    return block;
}

inline void OnEvents(COleControl& block,
                     std::function<void(DISPID, std::span<const Variant>)> handler) {
    block.Advise(ComPtr<IDispatch>(MakeCom<EventSink>(std::move(handler))));
}

// What a host does between sessions: saves the block and loads it back.
inline void SaveAndLoad(COleControl& block) {
    PropertyBag bag;
    block.Save(bag);
    block.Load(bag);
}
