#pragma once
// Drives a block as a host would: creates it through the class table, puts and
// gets through Invoke, and records every event it fires as a line of text.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "module/class_table.h"
#include "platform/events.h"
#include "tests/support/value_literal.h"

namespace harness {

// "Name" or "Name(arg, ...)"; numbers as integers or %.17g, strings quoted,
// dispatch arguments as "self" when they are the block itself.
inline std::string Describe(const Variant& v, IDispatch* self) {
    char buf[64];
    switch (v.vt()) {
        case VT_I4:
            return std::to_string(v.lVal());
        case VT_R8:
            std::snprintf(buf, sizeof buf, "%.17g", v.dblVal());
            return buf;
        case VT_BSTR:
            return "\"" + v.bstrVal() + "\"";
        case VT_BOOL:
            return v.boolVal() ? "true" : "false";
        case VT_DISPATCH:
            return v.pdispVal() == self ? "self" : "other";
        case VT_EMPTY:
            return "empty";
        default:
            return "vt" + std::to_string(v.vt());
    }
}

class Block {
  public:
    // Creates a block by ProgID or coclass name, reset as a new control.
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    explicit Block(std::string_view cls) {
        const ClassEntry* entry = FindClass(cls);
        EXPECT_NE(entry, nullptr) << cls;
        if (entry == nullptr) return;
        control = entry->create();
        control->InitNew();
        const EventTable* events = control->GetEventInfo();
        control->Advise(ComPtr<IDispatch>(
            MakeCom<EventSink>([this, events](DISPID id, std::span<const Variant> args) {
                const EventDesc* e = events->Find(id);
                std::string line = e != nullptr ? std::string(e->name) : std::to_string(id);
                if (!args.empty()) {
                    line += "(";
                    for (size_t i = 0; i < args.size(); ++i) {
                        line += (i ? ", " : "") + Describe(args[i], control.Get());
                    }
                    line += ")";
                }
                trace.push_back(line);
                if (onEvent) onEvent(id, args);
            })));
    }

    DISPID Id(std::string_view member) {
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(control->GetIDsOfNames(member, &id), S_OK) << member;
        return id;
    }
    HRESULT Put(std::string_view member, Variant value) {
        Variant args[] = {std::move(value)};
        return control->Invoke(Id(member), DISPATCH_PROPERTYPUT, args, nullptr);
    }
    HRESULT PutIndexed(std::string_view member, Variant index, Variant value) {
        Variant args[] = {std::move(index), std::move(value)};
        return control->Invoke(Id(member), DISPATCH_PROPERTYPUT, args, nullptr);
    }
    Variant Get(std::string_view member) {
        Variant out;
        EXPECT_EQ(control->Invoke(Id(member), DISPATCH_PROPERTYGET, {}, &out), S_OK) << member;
        return out;
    }
    Variant GetIndexed(std::string_view member, Variant index) {
        Variant args[] = {std::move(index)};
        Variant out;
        EXPECT_EQ(control->Invoke(Id(member), DISPATCH_PROPERTYGET, args, &out), S_OK) << member;
        return out;
    }
    Variant Call(std::string_view member) {
        Variant out;
        EXPECT_EQ(control->Invoke(Id(member), DISPATCH_METHOD, {}, &out), S_OK) << member;
        return out;
    }
    // Puts InvalidProperty for each named member (ControlIn included).
    void Invalidate(std::initializer_list<std::string_view> members) {
        for (auto m : members)
            Put("InvalidProperty", Variant::I4(Id(m)));
    }
    std::vector<std::string> Take() { return std::exchange(trace, {}); }

    ComPtr<COleControl> control;
    std::vector<std::string> trace;
    std::function<void(DISPID, std::span<const Variant>)> onEvent;
};

using Trace = std::vector<std::string>;

}  // namespace harness
