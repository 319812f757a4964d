#pragma once
// Events as data (a table per event interface) and their delivery through a
// connection point to ordered sinks. Delivery works on a snapshot of the sink
// list, so a sink may connect or disconnect sinks while an event is delivered;
// a sink disconnected during the delivery is not called after that.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dispatch.h"

struct EventDesc {
    std::string_view name;
    DISPID dispid = 0;
    std::vector<VARTYPE> paramTypes;
    std::vector<std::string_view> paramNames;
    std::string_view help;
};

// An event declared once with its typed signature: its table row and every
// fire call come from this one declaration, so the two cannot disagree.
template <class... Args>
struct EventDecl {
    std::string_view name;
    DISPID dispid = 0;
    std::array<std::string_view, sizeof...(Args)> paramNames{};
    std::string_view help;

    EventDesc Row() const {
        return {name,
                dispid,
                {dispatch_detail::KindOf<Args>()...},
                std::vector<std::string_view>(paramNames.begin(), paramNames.end()),
                help};
    }
    // The same event under another name, for families whose members differ
    // only by their names.
    EventDesc RowNamed(std::string_view otherName, std::string_view otherHelp) const {
        EventDesc row = Row();
        row.name = otherName;
        row.help = otherHelp;
        return row;
    }
};

// An event interface: its own events plus those of a base interface.
class EventTable {
  public:
    EventTable(const EventTable* base, std::vector<EventDesc> own);
    EventTable(const EventTable&) = delete;
    EventTable& operator=(const EventTable&) = delete;

    const EventDesc* Find(DISPID dispid) const;
    const EventDesc* Find(std::string_view name) const;
    // The interface's own events first, then the base's, as member tables list them.
    std::span<const EventDesc* const> All() const { return all_; }

  private:
    std::vector<EventDesc> own_;
    std::vector<const EventDesc*> all_;
};

class ConnectionPoint {
  public:
    // Connects a sink; returns its cookie (never 0), or 0 for a null sink.
    uint32_t Advise(ComPtr<IDispatch> sink);
    // E_INVALIDARG for a cookie that names no connected sink.
    HRESULT Unadvise(uint32_t cookie);
    size_t Count() const { return sinks_.size(); }

    // Delivers event `dispid` with `args` to every sink in connection order (the
    // sinks share `args`; they are the event's in-parameters and are not changed).
    // `stop` is asked before each sink; returning true ends the delivery.
    // A sink that throws is skipped and delivery goes on with the next one.
    template <class StopPredicate>
    void Deliver(DISPID dispid, std::span<Variant> args, StopPredicate&& stop);

  private:
    bool Connected(uint32_t cookie) const;
    void Invoke(IDispatch& sink, DISPID dispid, std::span<Variant> args);

    std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> sinks_;
    uint32_t nextCookie_ = 1;
};

template <class StopPredicate>
void ConnectionPoint::Deliver(DISPID dispid, std::span<Variant> args, StopPredicate&& stop) {
    if (sinks_.empty()) return;
    // Most objects have a sink or two: their snapshot stays off the heap.
    constexpr size_t kInlineSinks = 4;
    std::array<std::pair<uint32_t, ComPtr<IDispatch>>, kInlineSinks> inlineCopy;
    std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> heapCopy;
    std::span<std::pair<uint32_t, ComPtr<IDispatch>>> snapshot;
    if (sinks_.size() <= kInlineSinks) {
        std::copy(sinks_.begin(), sinks_.end(), inlineCopy.begin());
        snapshot = std::span(inlineCopy).first(sinks_.size());
    } else {
        heapCopy = sinks_;
        snapshot = heapCopy;
    }
    for (auto& [cookie, sink] : snapshot) {
        if (stop()) return;
        if (!Connected(cookie)) continue;
        Invoke(*sink, dispid, args);
    }
}

// A sink that hands every event to a function; what hosts and tests connect.
class EventSink : public RefCounted<IDispatch> {
  public:
    using Handler = std::function<void(DISPID, std::span<const Variant>)>;
    explicit EventSink(Handler handler) : handler_(std::move(handler)) {}
    HRESULT GetIDsOfNames(std::string_view, DISPID* dispid) override {
        *dispid = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID dispid, uint16_t, std::span<Variant> args, Variant*, uint32_t*) override {
        handler_(dispid, args);
        return S_OK;
    }

  private:
    Handler handler_;
};
