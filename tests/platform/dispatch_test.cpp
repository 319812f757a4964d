#include "platform/dispatch.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/events.h"

namespace {

// A small automation class exercising every kind of member.
class Gauge : public DispatchObject {
  public:
    static const DispatchTable& Table() {
        static const DispatchTable table(
            nullptr,
            {
                Property<&Gauge::GetLevel, &Gauge::SetLevel>("Level", 1, "a double"),
                ReadOnly<&Gauge::GetCount>("Count", 2, "read-only long"),
                WriteOnly<&Gauge::SetLabel>("Label", 3, "write-only string"),
                Property<&Gauge::GetSlot, &Gauge::SetSlot>("Slot", 4, "indexed").Params("index"),
                Method<&Gauge::Scale>("Scale", 5, "method with arguments")
                    .Params("factor", "offset"),
                Method<&Gauge::Reset>("Reset", 6, "method without result").Hidden(),
                Property<&Gauge::GetAny, &Gauge::SetAny>("Any", 7, "a variant"),
                WriteOnly<&Gauge::Keep>("Keep", 9, "takes its value by value"),
                Method<&Gauge::Fail>("Fail", 10, "throws"),
            });
        return table;
    }
    const DispatchTable& Members() const override { return Table(); }

    double GetLevel() const { return level; }
    void SetLevel(double v) { level = v; }
    int32_t GetCount() const { return count; }
    void SetLabel(const std::string& v) { label = v; }
    Variant GetSlot(int32_t index) const { return Variant::I4(index * 10); }
    HRESULT SetSlot(int32_t index, bool v) {
        if (index < 0) return E_INVALIDARG;
        slot = v;
        return S_OK;
    }
    double Scale(double factor, int32_t offset) {
        level = level * factor + offset;
        return level;
    }
    void Reset() { level = 0; }
    Variant GetAny() const { return any; }
    void SetAny(const Variant& v) { any = v; }
    void Keep(Variant v) { any = std::move(v); }
    void Fail(int32_t how) {
        if (how == 1) throw std::bad_alloc();
        throw std::runtime_error("handler failed");
    }

    double level = 0;
    int32_t count = 3;
    std::string label;
    bool slot = false;
    Variant any;
};

// A class deriving its table from Gauge's and overriding one member.
class BigGauge : public Gauge {
  public:
    static const DispatchTable& Table() {
        static const DispatchTable table(&Gauge::Table(),
                                         {ReadOnly<&BigGauge::GetCount>("Count", 2, "overridden"),
                                          ReadOnly<&BigGauge::GetSize>("Size", 8, "own member")});
        return table;
    }
    const DispatchTable& Members() const override { return Table(); }
    int32_t GetCount() const { return 99; }
    int32_t GetSize() const { return 7; }
};

// The host's bad_lines transcript pins the errors it can reach; the rest are here.
TEST(Dispatch, CallsCoerceToTheDeclaredTypesOrAnswerWithThePlatformCodes) {
    constexpr uint16_t kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT;
    const Variant one = Variant::R8(1);
    // In order on one gauge: {member, flags, arguments, result, value, refused argument}
    const std::tuple<DISPID, uint16_t, std::vector<Variant>, HRESULT, Variant, uint32_t> calls[] = {
        {1, kPut, {Variant::Str(" 2.5 ")}, S_OK, {}, 0},
        {1, kGet, {}, S_OK, Variant::R8(2.5), 0},
        {7, kPut, {Variant::Str("kept as is")}, S_OK, {}, 0},
        {7, kGet, {}, S_OK, Variant::Str("kept as is"), 0},
        {9, kPut, {Variant::Str("by value")}, S_OK, {}, 0},
        {7, kGet, {}, S_OK, Variant::Str("by value"), 0},
        {5, DISPATCH_METHOD, {Variant::I2(3), Variant::R8(1.4)}, S_OK, Variant::R8(8.5), 0},
        {6, DISPATCH_METHOD, {}, S_OK, {}, 0},
        {4, kGet, {Variant::Str("4")}, S_OK, Variant::I4(40), 0},
        {4, kPut, {Variant::I4(1), Variant::I4(5)}, S_OK, {}, 0},
        {4, kPut, {Variant::I4(-1), Variant::Bool(false)}, E_INVALIDARG, {}, 0},
        {42, kGet, {}, DISP_E_MEMBERNOTFOUND, {}, 0},
        {2, kPut, {one}, CTL_E_SETNOTSUPPORTED, {}, 0},
        {5, DISPATCH_METHOD, {one, Variant::Str("x")}, DISP_E_TYPEMISMATCH, {}, 1},
        {5, DISPATCH_METHOD, {one}, DISP_E_BADPARAMCOUNT, {}, 0},
        {1, kPut, {}, DISP_E_BADPARAMCOUNT, {}, 0},
        {4, kPut, {one}, DISP_E_BADPARAMCOUNT, {}, 0},                  // no index
        {5, kGet, {}, DISP_E_MEMBERNOTFOUND, {}, 0},                    // a method as a property
        {10, DISPATCH_METHOD, {Variant::I4(1)}, E_OUTOFMEMORY, {}, 0},  // handler exceptions
        {10, DISPATCH_METHOD, {Variant::I4(2)}, DISP_E_EXCEPTION, {}, 0},
        {1, kGet, {}, S_OK, Variant::R8(0), 0},  // what failed changed nothing
    };
    auto g = MakeCom<Gauge>();
    for (const auto& [id, flags, given, hr, value, refused] : calls) {
        SCOPED_TRACE(testing::Message() << id << " " << flags);
        std::vector<Variant> args = given;
        uint32_t argErr = 0;
        Variant out;
        EXPECT_EQ(g->Invoke(id, flags, args, &out, &argErr), hr);
        EXPECT_EQ(out, value);
        EXPECT_EQ(argErr, refused);
        EXPECT_EQ(args, given);  // the caller's arguments stay
    }
    EXPECT_TRUE(g->slot);
}

// Given up, a string argument changes hands instead of being copied.
TEST(Dispatch, ArgumentsGivenUpAreMovedNotCopied) {
    auto g = MakeCom<Gauge>();
    std::vector<Variant> kept = {Variant::Str("text")};
    const std::string* text = &kept[0].bstrVal();
    EXPECT_EQ(g->Invoke(9, DISPATCH_PROPERTYPUT | DISPATCH_MOVEARGS, kept, nullptr), S_OK);
    EXPECT_EQ(&g->any.bstrVal(), text);
}

// A smart pointer converts towards a base only; a downcast is spelled out.
static_assert(std::is_convertible_v<ComPtr<Gauge>, ComPtr<IDispatch>>);
static_assert(!std::is_convertible_v<ComPtr<IDispatch>, ComPtr<Gauge>>);

TEST(Dispatch, DerivedTablesOverrideAndInherit) {
    auto g = MakeCom<BigGauge>();
    Variant out;
    EXPECT_EQ(g->Invoke(2, DISPATCH_PROPERTYGET, {}, &out), S_OK);
    EXPECT_EQ(out, Variant::I4(99));
    EXPECT_EQ(g->Invoke(8, DISPATCH_PROPERTYGET, {}, &out), S_OK);
    std::vector<Variant> four = {Variant::R8(4)};
    EXPECT_EQ(g->Invoke(1, DISPATCH_PROPERTYPUT, four, nullptr), S_OK);
    EXPECT_EQ(g->level, 4.0);
    size_t counts = 0;
    for (const MemberDesc* m : BigGauge::Table().All())
        counts += m->dispid == 2;
    EXPECT_EQ(counts, 1u);
    EXPECT_EQ(BigGauge::Table().All().size(), Gauge::Table().All().size() + 1);
}

// --- events ------------------------------------------------------------------

using Trace = std::vector<std::string>;

ComPtr<IDispatch> Recorder(Trace& trace, std::string name) {
    return ComPtr<IDispatch>(
        MakeCom<EventSink>([&trace, name](DISPID id, std::span<const Variant>) {
            trace.push_back(name + ":" + std::to_string(id));
        }));
}

void Fire(ConnectionPoint& cp, DISPID id) {
    cp.Deliver(id, {}, [] { return false; });
}

TEST(Events, DeliveredInConnectionOrderPastAThrowingSinkUntilAskedToStop) {
    ConnectionPoint cp;
    Trace trace;
    cp.Advise(Recorder(trace, "a"));
    cp.Advise(ComPtr<IDispatch>(MakeCom<EventSink>(
        [](DISPID, std::span<const Variant>) { throw std::runtime_error("sink failed"); })));
    cp.Advise(Recorder(trace, "c"));
    Fire(cp, 3);
    EXPECT_EQ(trace, (std::vector<std::string>{"a:3", "c:3"}));
    int asked = 0;  // before each sink
    cp.Deliver(1, {}, [&] { return ++asked == 2; });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(trace, (std::vector<std::string>{"a:3", "c:3", "a:1"}));
}

TEST(Events, SinkDisconnectingDuringDeliveryIsSafe) {
    ConnectionPoint cp;
    Trace trace;
    uint32_t later = 0;
    uint32_t self = 0;
    self = cp.Advise(ComPtr<IDispatch>(MakeCom<EventSink>([&](DISPID, std::span<const Variant>) {
        trace.push_back("first");
        cp.Unadvise(self);   // itself
        cp.Unadvise(later);  // and a sink not yet reached
        cp.Advise(Recorder(trace, "new"));
    })));
    later = cp.Advise(Recorder(trace, "later"));
    Fire(cp, 1);
    EXPECT_EQ(trace, (std::vector<std::string>{"first"}));
    Fire(cp, 2);
    EXPECT_EQ(trace, (std::vector<std::string>{"first", "new:2"}));
    EXPECT_EQ(cp.Count(), 1u);
}

TEST(Events, CookiesAreNeverZeroAndUnknownCookiesFail) {
    ConnectionPoint cp;
    Trace trace;
    EXPECT_EQ(cp.Advise(ComPtr<IDispatch>()), 0u);
    uint32_t c = cp.Advise(Recorder(trace, "a"));
    EXPECT_NE(c, 0u);
    EXPECT_EQ(cp.Unadvise(0), E_INVALIDARG);
    EXPECT_EQ(cp.Unadvise(c + 1), E_INVALIDARG);
    EXPECT_EQ(cp.Unadvise(c), S_OK);
    EXPECT_EQ(cp.Unadvise(c), E_INVALIDARG);
}

}  // namespace
