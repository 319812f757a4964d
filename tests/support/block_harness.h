#pragma once
// Drives a block as a host would: creates it through the class table, puts and
// gets through Invoke, and records every event it fires as a line of text.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/status.h"
#include "module/class_table.h"
#include "platform/events.h"
#include "platform/paths.h"
#include "platform/property_bag.h"
#include "platform/value_text.h"
#include "tests/support/value_literal.h"

namespace harness {

// An event argument as host text without its kind ("2", "\"x\"", "true",
// "empty"), a dispatch argument as "self" when it is the block itself.
inline std::string Describe(const Variant& v, IDispatch* self) {
    if (v.vt() == VT_DISPATCH) return v.pdispVal() == self ? "self" : "other";
    const std::string text = FormatValue(v);
    const size_t blank = text.find(' ');
    return v.IsArray() || blank == std::string::npos ? text : text.substr(blank + 1);
}

// A container whose mode a test sets; it records bound-property notices.
class Site : public IControlSite {
  public:
    bool AmbientUserMode() const override { return userMode; }
    std::string AmbientDisplayName() const override { return "Block 1"; }
    LCID AmbientLocaleID() const override { return LOCALE_USER_DEFAULT; }
    void OnBoundPropertyChanged(DISPID dispid) override { notices.push_back(dispid); }
    bool userMode = true;
    std::vector<DISPID> notices;
};

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
    Variant Get(std::string_view member) { return Read(member, DISPATCH_PROPERTYGET, {}); }
    Variant GetIndexed(std::string_view member, Variant index) {
        Variant args[] = {std::move(index)};
        return Read(member, DISPATCH_PROPERTYGET, args);
    }
    Variant Call(std::string_view member) { return Read(member, DISPATCH_METHOD, {}); }
    // Invokes `member`, expecting success, and returns its result.
    Variant Read(std::string_view member, uint16_t flags, std::span<Variant> args) {
        Variant out;
        EXPECT_EQ(control->Invoke(Id(member), flags, args, &out), S_OK) << member;
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

// `events`, then how every run ends: ErrorOut with the status and its text,
// ErrorOccurred too for a failure, and ControlOut.
inline Trace RunTrace(Trace events, HRESULT status = S_OK) {
    const std::string text = status == S_OK ? kNoErrors : StatusText(status);
    const std::string args = std::to_string(status) + ", \"" + text + "\"";
    events.push_back("ErrorOut(self, " + args + ")");
    if (status != S_OK) events.push_back("ErrorOccurred(" + args + ")");
    events.push_back("ControlOut");
    return events;
}

// Splits "A=x; B=y; C" into its steps, each an (A, x) pair; a step without `=`
// has no value.
inline std::vector<std::pair<std::string_view, std::string_view>> Steps(std::string_view text) {
    std::vector<std::pair<std::string_view, std::string_view>> steps;
    while (!text.empty()) {
        const size_t end = std::min(text.find("; "), text.size());
        const std::string_view step = text.substr(0, end);
        text.remove_prefix(std::min(end + 2, text.size()));
        const size_t eq = step.find('=');
        if (eq == std::string_view::npos) {
            steps.emplace_back(step, std::string_view{});
        } else {
            steps.emplace_back(step.substr(0, eq), step.substr(eq + 1));
        }
    }
    return steps;
}

// Runs "Member=value; Method" steps: puts (the value in host text) and calls.
inline void Drive(Block& b, std::string_view steps) {
    for (auto [member, value] : Steps(steps)) {
        if (value.empty()) {
            b.Call(member);
        } else {
            EXPECT_EQ(b.Put(member, V(value)), S_OK) << member << "=" << value;
        }
    }
}

// Every "Member=value" of `expected` reads back from the block.
inline void ExpectMembers(Block& b, std::string_view expected, const std::string& what) {
    for (auto [member, value] : Steps(expected))
        EXPECT_EQ(b.Get(member), V(value)) << what << ": " << member;
}

// Every "Key=value" of `expected` is stored in the bag.
inline void ExpectBag(const PropertyBag& bag, std::string_view expected, const std::string& what) {
    for (auto [key, value] : Steps(expected)) {
        const Variant* stored = bag.Read(key);
        EXPECT_TRUE(stored != nullptr && *stored == V(value)) << what << ": " << key;
    }
}

// Writes `bytes` to a file of that name beside the drive root, in the folder
// each test program owns and removes when it ends, and returns its path.
inline std::string TempFile(const std::string& name, const std::string& bytes) {
    const auto path = std::filesystem::path(DriveRootFolder()).parent_path() / "files" / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

}  // namespace harness
