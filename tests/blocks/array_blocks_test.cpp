#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "framework/base_math_ctrl.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

// Each class's blocks driven through a few steps ("Member=value" puts in host
// text and "Member" calls, separated by "; "), then for the classes that need
// one an Operate; afterwards the members read as `expected` and the status.
struct Case {
    std::string steps;
    const char* expected;
    HRESULT status = S_OK;
};

template <size_t N>
void CheckAll(const char* cls, const Case (&cases)[N], bool operate = true) {
    for (const Case& c : cases) {
        const std::string what = std::string(cls) + " case " + std::to_string(&c - cases);
        Block b(cls);
        harness::Drive(b, operate ? c.steps + (c.steps.empty() ? "" : "; ") + "Operate" : c.steps);
        harness::ExpectMembers(b, c.expected, what);
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << what;
    }
}

constexpr HRESULT kMismatch = TYPE_E_TYPEMISMATCH;
constexpr HRESULT kOutOfBounds = TYPE_E_OUTOFBOUNDS;
constexpr HRESULT kInvalidData = ERROR_INVALID_DATA_HR;
constexpr HRESULT kOutOfMemory = E_OUTOFMEMORY;

// Plain collecting, a sub-array window, stacking and taking rows back out, and
// a refused window are in the wired golden transcript; these are the edges.
TEST(Collector, AppendsInTheTypeOfTheFirstValue) {
    const Case kCollector[] = {
        {"New=1; New=2", "ArrayIndex=i4 2"},
        {"ArrayIndex=10; New=\"a\"; New=\"b\"", "Array=bstr@10[\"a\", \"b\"]"},
        {"New=1; New=2; ArrayIndex=5; New=9", "Array=i4@5[9]"},
        {"New=7; New=2.6", "Array=i4[7, 3]"},
        {"New=1; New=\"abc\"", "ArrayIndex=i4 1"},
        {"ArrayIndex=-5; New=1", "Array=i4[1]"},
        // ClearOnOutput: the old array stays until the next value starts anew.
        {"New=1; New=2; Operate", "Array=i4[1, 2]"},
        {"New=1; Operate; New=3", "Array=i4[3]"},
        {"ClearOnOutput=false; New=1; Operate; New=2; Operate", "Array=i4[1, 2]"},
        {"New=1; ClearArray=0; New=2", "Array=i4[2]"},
        // Values that cannot start an array, and an index that runs out of 32 bits.
        {"New=empty", "Array=empty", kOutOfMemory},
        {"New=r8[1]", "Array=empty", kOutOfMemory},
        {"ArrayIndex=2147483647; New=1; New=2", "Array=i4@2147483647[1]", E_INVALIDARG},
        // An array of two dimensions a host put is resized but not written into.
        {"Array=r8[[1, 2], [3, 4]]; New=5", "Array=r8[[1], [3]]"},
    };
    CheckAll("OVCollector", kCollector, false);
}

TEST(Elements, FetchAndStoreWithinTheBounds) {
    const Case kGetElement[] = {
        {"Array=r8@5[1, 2, 3, 4, 5]; ArrayIndex=5", "Element=r8 1"},
        {"Array=r8@5[1, 2]; ArrayIndex=4", "Element=empty", kOutOfBounds},
        {"Array=r8@5[1, 2]; ArrayIndex=7", "Element=empty", kOutOfBounds},
        {"Array=r8[[1, 2, 3, 4], [5, 6, 7, 8], [9, 10, 11, 12]]; ArrayNumber=2; ArrayIndex=3",
         "Element=r8 12"},
        {"Array=r8[[1, 2, 3, 4], [5, 6, 7, 8], [9, 10, 11, 12]]; ArrayNumber=3", "Element=empty",
         kOutOfBounds},
        {"Array=bstr[\"a\"]; ArrayNumber=9", "Element=\"a\""},
        {"Array=\"abc\"", "Element=empty", kMismatch},
        {"Array=variant[1]", "Element=empty", kMismatch},
        {"Array=i4@2147483647[5]; ArrayIndex=2147483647", "Element=i4 5"},
        {"Array=i4[]", "Element=empty", kOutOfBounds},
    };
    CheckAll("OVGetElement", kGetElement);
    const Case kSetElement[] = {
        {"ArrayIndex=3; Element=2.5", "Array=r8[0, 0, 0, 2.5]"},
        {"Array=i4[1, 2, 3, 4]; ArrayIndex=6; Element=\"12\"", "Array=i4[1, 2, 3, 4, 0, 0, 12]"},
        {"Array=i4[1]; Element=\"12\"", "Element=i4 12"},
        {"Array=i4[1, 2]; GrowArray=false; ArrayIndex=2; Element=5", "Array=i4[1, 2]",
         kOutOfBounds},
        // Below the lower bound the count stays and the elements are renumbered.
        {"Array=i4[1, 2]; ArrayIndex=-1; Element=5", "Array=i4@-1[5, 2]"},
        {"Array=i4[1]; Element=\"abc\"", "Array=i4[1]", kMismatch},
        {"", "Array=empty", kMismatch},
        {"Array=variant[1]; Element=2", "Array=variant[1]", kMismatch},
        {"Array=r8[[1, 2], [3, 4]]; Element=1.0", "Array=r8[[1, 2], [3, 4]]", kMismatch},
        {"ArrayIndex=-1; Element=1.0", "Array=r8@-1[1]"},
        // 2^31 doubles: more than the machine gives one array.
        {"ArrayIndex=2147483647; Element=1.0", "Array=empty", kOutOfMemory},
        {"Array=r8[1]; ArrayIndex=2147483647; Element=1.0", "Array=r8[1]", kOutOfMemory},
    };
    CheckAll("OVSetElement", kSetElement);
}

TEST(Slicing, JoinsAndCutsIntoArraysFromZero) {
    const Case kConcatArray[] = {
        {"InputArray1=i2[1, 2]; InputArray2=r8[0.5]", "OutputArray=r8[1, 2, 0.5]"},
        {"InputArray1=i4@5[1, 2]; InputArray2=i4@1[3, 4, 5]", "OutputArray=i4[1, 2, 3, 4, 5]"},
        {"InputArray1=bstr[\"a\"]; InputArray2=bstr[\"b\"]", "OutputArray=bstr[\"a\", \"b\"]"},
        {"InputArray1=ui1[1]; InputArray2=i2[-2]", "OutputArray=i2[1, -2]"},
        {"InputArray1=i2[1]; InputArray2=ui2[2]", "OutputArray=i2[1, 2]"},
        {"InputArray1=cy[1.5]; InputArray2=r8[2]", "OutputArray=r8[1.5, 2]"},
        {"InputArray1=r8[]; InputArray2=r8[]", "OutputArray=r8[]"},
        {"InputArray1=bstr[\"a\"]; InputArray2=i4[1]", "OutputArray=empty", kMismatch},
        {"InputArray1=bool[true]; InputArray2=i2[1]", "OutputArray=empty", kMismatch},
        {"InputArray1=i4[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10], [11, 12, 13, 14, 15]]; "
         "InputArray2=i4[1]",
         "OutputArray=empty", kMismatch},
    };
    CheckAll("OVConcatArray", kConcatArray);
    const Case kSubArray[] = {
        {"InputArray=i4@-3[10, 20, 30]; StartIndex=-2147483648; EndIndex=2147483647",
         "OutputArray=i4[10, 20, 30]"},
        {"InputArray=i4[10, 20, 30, 40, 50]; StartIndex=-5; EndIndex=100", "EndIndex=i4 4"},
        {"InputArray=i4[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10], [11, 12, 13, 14, 15]]; ArrayNumber=1; "
         "EndIndex=2",
         "OutputArray=i4[6, 7, 8]"},
        {"InputArray=i4[1, 2]; ArrayNumber=1", "OutputArray=i4[1, 2]"},
        {"InputArray=i4[1, 2]; ArrayNumber=2", "OutputArray=empty", kInvalidData},
        {"InputArray=i4[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10], [11, 12, 13, 14, 15]]; ArrayNumber=3",
         "OutputArray=empty", kInvalidData},
        {"InputArray=i4[1, 2]; ArrayNumber=-1", "OutputArray=empty", kInvalidData},
        {"InputArray=i4[1, 2]; StartIndex=5; EndIndex=9", "OutputArray=empty", kOutOfMemory},
        {"InputArray=1", "OutputArray=empty", kMismatch},
    };
    CheckAll("OVSubArray", kSubArray);
}

TEST(Packing, StacksRowsAndTakesThemBackOut) {
    const Case kPack[] = {
        {"InputArray=r8[1, 2, 3]; InputArray=r8[4, 5, 6]",
         "Array=r8[[1, 2, 3], [4, 5, 6]]; ArrayNumber=i4 2"},
        {"InputArray=7; InputArray=8", "Array=i4[[7], [8]]"},
        {"InputArray=i4[1, 2]; InputArray=i4[1, 2, 3, 4]", "Array=i4[[1, 2, 0, 0], [1, 2, 3, 4]]"},
        {"InputArray=i4[1, 2]; InputArray=i4@3[7]", "Array=i4[[1, 2, 0, 0], [0, 0, 0, 7]]"},
        {"InputArray=i4@2[1]; InputArray=i4[5]", "Array=i4[[0, 0, 1], [5, 0, 0]]"},
        {"ArrayNumber=2; InputArray=1", "Array=i4[[0], [0], [1]]"},
        {"InputArray=i4[1]; InputArray=r8[2.6]", "Array=i4[[1], [3]]"},
        {"InputArray=i4[1]; Operate; InputArray=i4[2]", "Array=i4[[2]]"},
        // An array a host put: two dimensions are packed into, others read back.
        {"Array=i4@1,0[[1, 2]]; ArrayNumber=2; InputArray=i4[3]",
         "Array=i4[[0, 0], [1, 2], [3, 0]]"},
        {"Array=i4[1, 2]; Operate", "Array=i4[1, 2]"},
        {"Array=i4@3,0[[1, 2], [3, 4]]; InputArray=i4[5, 6]", "Array=i4@3,0[[1, 2], [3, 4]]"},
        {"Array=i4[1, 2]; InputArray=r8[3]", "Array=r8[[3]]"},
        // Dropped without a status.
        {"InputArray=i4[1]; InputArray=\"x\"", "Array=i4[[1]]"},
        {"InputArray=i4[1]; InputArray=i4[[1], [2]]", "ArrayNumber=i4 1"},
        {"ArrayNumber=-1; InputArray=i4[1]", "Array=empty"},
        {"InputArray=empty", "ArrayNumber=i4 0"},
        {"ArrayNumber=2147483647; InputArray=r8[1, 2]", "Array=empty", kOutOfMemory},
    };
    CheckAll("OVPack", kPack, false);
    const Case kUnpack[] = {
        {"InputArray=r8[[1, 2, 3], [4, 5, 6]]; ArrayNumber=1", "OutputArray=r8[4, 5, 6]"},
        {"InputArray=r8@0,7[[1, 2], [3, 4]]", "OutputArray=r8@7[1, 2]"},
        {"InputArray=r8[[1], [2]]; ArrayNumber=2", "OutputArray=empty", kInvalidData},
        {"InputArray=r8[1, 2]", "OutputArray=empty", kMismatch},
    };
    CheckAll("OVUnpack", kUnpack);
}

const Trace kSuccess = harness::RunTrace({"RunBlock", "StatusReady"});

TEST(ArrayBlocks, ClearArrayReportsAtOnceAndCollectingRunsWhenWired) {
    for (const char* cls : {"OVCollector", "OVSetElement", "OVPack"}) {
        Block b(cls);
        b.Put("ClearArray", Variant());
        EXPECT_EQ(b.Take(), kSuccess) << cls;
        EXPECT_EQ(b.Get("Array"), Variant()) << cls;
    }
    Block c("OVCollector");
    c.Invalidate({"New", "ControlIn"});
    c.Take();
    c.Put("New", Variant::R8(1));
    EXPECT_EQ(c.Take(), Trace{}) << "waits for its trigger";
    c.Put("ControlIn", Variant::Bool(true));
    EXPECT_EQ(c.Take(), kSuccess);
    // A failure found while collecting is reported before the trigger.
    c.Put("New", Variant::Str("x"));
    c.Put("New", Variant());
    c.Put("ClearArray", Variant());
    c.Take();
    c.Put("New", Variant());
    Trace expected = harness::RunTrace({"ValidateGroup(1)"}, E_OUTOFMEMORY);
    expected.push_back("ValidateGroup(0)");
    EXPECT_EQ(c.Take(), expected);
}

TEST(ArrayBlocks, ObjectsAndLongIntegersBeginNoArray) {
    Block other("OVAdd");
    for (const Variant& value : {Variant::I8(5), Variant::Dispatch(other.control)}) {
        Block c("OVCollector");
        c.Put("New", value);
        EXPECT_EQ(c.Get("StatusCode"), Variant::I4(S_OK));
        EXPECT_EQ(c.Get("ArrayIndex"), Variant::I4(0));
        Block s("OVSetElement");
        s.Put("Element", value);
        s.Call("Operate");
        EXPECT_EQ(s.Get("StatusCode"), Variant::I4(kMismatch));
        Block p("OVPack");
        p.Put("InputArray", value);
        EXPECT_EQ(p.Get("StatusCode"), Variant::I4(S_OK));
        EXPECT_EQ(p.Get("Array"), Variant());
    }
}

}  // namespace
