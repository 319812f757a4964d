#include "platform/events.h"

#include <algorithm>

EventTable::EventTable(const EventTable* base, std::vector<EventDesc> own) : own_(std::move(own)) {
    for (const EventDesc& e : own_)
        all_.push_back(&e);
    if (base != nullptr) all_.insert(all_.end(), base->all_.begin(), base->all_.end());
}

const EventDesc* EventTable::Find(DISPID dispid) const {
    for (const EventDesc* e : all_) {
        if (e->dispid == dispid) return e;
    }
    return nullptr;
}

const EventDesc* EventTable::Find(std::string_view name) const {
    for (const EventDesc* e : all_) {
        if (NamesEqual(e->name, name)) return e;
    }
    return nullptr;
}

uint32_t ConnectionPoint::Advise(ComPtr<IDispatch> sink) {
    if (!sink) return 0;
    uint32_t cookie = nextCookie_++;
    if (nextCookie_ == 0) nextCookie_ = 1;  // cookie 0 stays invalid after wrap-around
    sinks_.emplace_back(cookie, std::move(sink));
    return cookie;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [&](const auto& s) { return s.first == cookie; });
    if (cookie == 0 || it == sinks_.end()) return E_INVALIDARG;
    sinks_.erase(it);
    return S_OK;
}

bool ConnectionPoint::Connected(uint32_t cookie) const {
    return std::any_of(sinks_.begin(), sinks_.end(),
                       [&](const auto& s) { return s.first == cookie; });
}

void ConnectionPoint::Invoke(IDispatch& sink, DISPID dispid, std::span<Variant> args) {
    try {
        sink.Invoke(dispid, DISPATCH_METHOD, args, nullptr, nullptr);
    } catch (...) {
        // One failing sink must not keep the event from the others.
    }
}
