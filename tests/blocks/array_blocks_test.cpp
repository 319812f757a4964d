#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "framework/base_math_ctrl.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

// A block driven through a few steps, then one member read and the status.
// Steps are "Member=value" puts (the value in host text) and "Member" calls,
// separated by "; ".
struct Case {
    const char* cls;
    std::string_view steps;
    const char* member;
    const char* expected;
    HRESULT status = S_OK;
};

void Check(const Case& c, const std::string& what) {
    Block b(c.cls);
    harness::Drive(b, c.steps);
    EXPECT_EQ(b.Get(c.member), V(c.expected)) << what;
    EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << what;
}

constexpr HRESULT kMismatch = TYPE_E_TYPEMISMATCH;
constexpr HRESULT kOutOfBounds = TYPE_E_OUTOFBOUNDS;
constexpr HRESULT kInvalidData = ERROR_INVALID_DATA_HR;
constexpr HRESULT kOutOfMemory = E_OUTOFMEMORY;

TEST(Collector, AppendsInTheTypeOfTheFirstValue) {
    const Case cases[] = {
        {"OVCollector", "New=1.5; New=2.5; New=3.5", "Array", "r8[1.5, 2.5, 3.5]"},
        {"OVCollector", "New=1; New=2", "ArrayIndex", "i4 2"},
        {"OVCollector", "ArrayIndex=10; New=\"a\"; New=\"b\"", "Array", "bstr@10[\"a\", \"b\"]"},
        {"OVCollector", "New=1; New=2; ArrayIndex=5; New=9", "Array", "i4@5[9]"},
        {"OVCollector", "New=7; New=2.6", "Array", "i4[7, 3]"},
        {"OVCollector", "New=1; New=\"abc\"", "ArrayIndex", "i4 1"},
        {"OVCollector", "ArrayIndex=-5; New=1", "Array", "i4[1]"},
        // ClearOnOutput: the old array stays until the next value starts anew.
        {"OVCollector", "New=1; New=2; Operate", "Array", "i4[1, 2]"},
        {"OVCollector", "New=1; Operate; New=3", "Array", "i4[3]"},
        {"OVCollector", "ClearOnOutput=false; New=1; Operate; New=2; Operate", "Array", "i4[1, 2]"},
        {"OVCollector", "New=1; ClearArray=0; New=2", "Array", "i4[2]"},
        // Values that cannot start an array, and an index that runs out of 32 bits.
        {"OVCollector", "New=empty", "Array", "empty", kOutOfMemory},
        {"OVCollector", "New=r8[1]", "Array", "empty", kOutOfMemory},
        {"OVCollector", "ArrayIndex=2147483647; New=1; New=2", "Array", "i4@2147483647[1]",
         E_INVALIDARG},
        // An array of two dimensions a host put is resized but not written into.
        {"OVCollector", "Array=r8[[1, 2], [3, 4]]; New=5", "Array", "r8[[1], [3]]"},
    };
    for (const Case& c : cases)
        Check(c, "collector case " + std::to_string(&c - cases));
}

TEST(Elements, FetchAndStoreWithinTheBounds) {
    const Case cases[] = {
        {"OVGetElement", "Array=r8@5[1, 2, 3, 4, 5]; ArrayIndex=5; Operate", "Element", "r8 1"},
        {"OVGetElement", "Array=r8@5[1, 2]; ArrayIndex=4; Operate", "Element", "empty",
         kOutOfBounds},
        {"OVGetElement", "Array=r8@5[1, 2]; ArrayIndex=7; Operate", "Element", "empty",
         kOutOfBounds},
        {"OVGetElement",
         "Array=r8[[1, 2, 3, 4], [5, 6, 7, 8], [9, 10, 11, 12]]; ArrayNumber=2; ArrayIndex=3; "
         "Operate",
         "Element", "r8 12"},
        {"OVGetElement",
         "Array=r8[[1, 2, 3, 4], [5, 6, 7, 8], [9, 10, 11, 12]]; ArrayNumber=3; Operate", "Element",
         "empty", kOutOfBounds},
        {"OVGetElement", "Array=bstr[\"a\"]; ArrayNumber=9; Operate", "Element", "\"a\""},
        {"OVGetElement", "Array=\"abc\"; Operate", "Element", "empty", kMismatch},
        {"OVGetElement", "Array=variant[1]; Operate", "Element", "empty", kMismatch},
        {"OVGetElement", "Array=i4@2147483647[5]; ArrayIndex=2147483647; Operate", "Element",
         "i4 5"},
        {"OVGetElement", "Array=i4[]; Operate", "Element", "empty", kOutOfBounds},
        {"OVSetElement", "ArrayIndex=3; Element=2.5; Operate", "Array", "r8[0, 0, 0, 2.5]"},
        {"OVSetElement", "Array=i4[1, 2, 3, 4]; ArrayIndex=6; Element=\"12\"; Operate", "Array",
         "i4[1, 2, 3, 4, 0, 0, 12]"},
        {"OVSetElement", "Array=i4[1]; Element=\"12\"; Operate", "Element", "i4 12"},
        {"OVSetElement", "Array=i4[1, 2]; GrowArray=false; ArrayIndex=2; Element=5; Operate",
         "Array", "i4[1, 2]", kOutOfBounds},
        // Below the lower bound the count stays and the elements are renumbered.
        {"OVSetElement", "Array=i4[1, 2]; ArrayIndex=-1; Element=5; Operate", "Array",
         "i4@-1[5, 2]"},
        {"OVSetElement", "Array=i4[1]; Element=\"abc\"; Operate", "Array", "i4[1]", kMismatch},
        {"OVSetElement", "Operate", "Array", "empty", kMismatch},
        {"OVSetElement", "Array=variant[1]; Element=2; Operate", "Array", "variant[1]", kMismatch},
        {"OVSetElement", "Array=r8[[1, 2], [3, 4]]; Element=1.0; Operate", "Array",
         "r8[[1, 2], [3, 4]]", kMismatch},
        {"OVSetElement", "ArrayIndex=-1; Element=1.0; Operate", "Array", "r8@-1[1]"},
        // 2^31 doubles: more than the machine gives one array.
        {"OVSetElement", "ArrayIndex=2147483647; Element=1.0; Operate", "Array", "empty",
         kOutOfMemory},
        {"OVSetElement", "Array=r8[1]; ArrayIndex=2147483647; Element=1.0; Operate", "Array",
         "r8[1]", kOutOfMemory},
    };
    for (const Case& c : cases)
        Check(c, "element case " + std::to_string(&c - cases));
}

TEST(Slicing, JoinsAndCutsIntoArraysFromZero) {
    const Case cases[] = {
        {"OVConcatArray", "InputArray1=i2[1, 2]; InputArray2=r8[0.5]; Operate", "OutputArray",
         "r8[1, 2, 0.5]"},
        {"OVConcatArray", "InputArray1=i4@5[1, 2]; InputArray2=i4@1[3, 4, 5]; Operate",
         "OutputArray", "i4[1, 2, 3, 4, 5]"},
        {"OVConcatArray", "InputArray1=bstr[\"a\"]; InputArray2=bstr[\"b\"]; Operate",
         "OutputArray", "bstr[\"a\", \"b\"]"},
        {"OVConcatArray", "InputArray1=ui1[1]; InputArray2=i2[-2]; Operate", "OutputArray",
         "i2[1, -2]"},
        {"OVConcatArray", "InputArray1=i2[1]; InputArray2=ui2[2]; Operate", "OutputArray",
         "i2[1, 2]"},
        {"OVConcatArray", "InputArray1=cy[1.5]; InputArray2=r8[2]; Operate", "OutputArray",
         "r8[1.5, 2]"},
        {"OVConcatArray", "InputArray1=r8[]; InputArray2=r8[]; Operate", "OutputArray", "r8[]"},
        {"OVConcatArray", "InputArray1=bstr[\"a\"]; InputArray2=i4[1]; Operate", "OutputArray",
         "empty", kMismatch},
        {"OVConcatArray", "InputArray1=bool[true]; InputArray2=i2[1]; Operate", "OutputArray",
         "empty", kMismatch},
        {"OVConcatArray",
         "InputArray1=i4[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10], [11, 12, 13, 14, 15]]; "
         "InputArray2=i4[1]; Operate",
         "OutputArray", "empty", kMismatch},
        {"OVSubArray", "InputArray=i4[10, 20, 30, 40, 50]; StartIndex=1; EndIndex=3; Operate",
         "OutputArray", "i4[20, 30, 40]"},
        {"OVSubArray",
         "InputArray=i4@-3[10, 20, 30]; StartIndex=-2147483648; EndIndex=2147483647; Operate",
         "OutputArray", "i4[10, 20, 30]"},
        {"OVSubArray", "InputArray=i4[10, 20, 30, 40, 50]; StartIndex=-5; EndIndex=100; Operate",
         "EndIndex", "i4 4"},
        {"OVSubArray",
         "InputArray=i4[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10], [11, 12, 13, 14, 15]]; ArrayNumber=1; "
         "EndIndex=2; Operate",
         "OutputArray", "i4[6, 7, 8]"},
        {"OVSubArray", "InputArray=i4[1, 2]; ArrayNumber=1; Operate", "OutputArray", "i4[1, 2]"},
        {"OVSubArray", "InputArray=i4[1, 2]; ArrayNumber=2; Operate", "OutputArray", "empty",
         kInvalidData},
        {"OVSubArray",
         "InputArray=i4[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10], [11, 12, 13, 14, 15]]; ArrayNumber=3; "
         "Operate",
         "OutputArray", "empty", kInvalidData},
        {"OVSubArray", "InputArray=i4[1, 2]; ArrayNumber=-1; Operate", "OutputArray", "empty",
         kInvalidData},
        {"OVSubArray", "InputArray=i4[1, 2]; EndIndex=0; Operate", "OutputArray", "empty",
         kInvalidData},
        {"OVSubArray", "InputArray=i4[1, 2]; StartIndex=5; EndIndex=9; Operate", "OutputArray",
         "empty", kOutOfMemory},
        {"OVSubArray", "InputArray=1; Operate", "OutputArray", "empty", kMismatch},
    };
    for (const Case& c : cases)
        Check(c, "slicing case " + std::to_string(&c - cases));
}

TEST(Packing, StacksRowsAndTakesThemBackOut) {
    const Case cases[] = {
        {"OVPack", "InputArray=r8[1, 2, 3]; InputArray=r8[4, 5, 6]", "Array",
         "r8[[1, 2, 3], [4, 5, 6]]"},
        {"OVPack", "InputArray=r8[1, 2, 3]; InputArray=r8[4, 5, 6]", "ArrayNumber", "i4 2"},
        {"OVPack", "InputArray=7; InputArray=8", "Array", "i4[[7], [8]]"},
        {"OVPack", "InputArray=i4[1, 2]; InputArray=i4[1, 2, 3, 4]", "Array",
         "i4[[1, 2, 0, 0], [1, 2, 3, 4]]"},
        {"OVPack", "InputArray=i4[1, 2]; InputArray=i4@3[7]", "Array",
         "i4[[1, 2, 0, 0], [0, 0, 0, 7]]"},
        {"OVPack", "InputArray=i4@2[1]; InputArray=i4[5]", "Array", "i4[[0, 0, 1], [5, 0, 0]]"},
        {"OVPack", "ArrayNumber=2; InputArray=1", "Array", "i4[[0], [0], [1]]"},
        {"OVPack", "InputArray=i4[1]; InputArray=r8[2.6]", "Array", "i4[[1], [3]]"},
        {"OVPack", "InputArray=i4[1]; Operate; InputArray=i4[2]", "Array", "i4[[2]]"},
        // An array a host put: two dimensions are packed into, others read back.
        {"OVPack", "Array=i4@1,0[[1, 2]]; ArrayNumber=2; InputArray=i4[3]", "Array",
         "i4[[0, 0], [1, 2], [3, 0]]"},
        {"OVPack", "Array=i4[1, 2]; Operate", "Array", "i4[1, 2]"},
        {"OVPack", "Array=i4@3,0[[1, 2], [3, 4]]; InputArray=i4[5, 6]", "Array",
         "i4@3,0[[1, 2], [3, 4]]"},
        {"OVPack", "Array=i4[1, 2]; InputArray=r8[3]", "Array", "r8[[3]]"},
        // Dropped without a status.
        {"OVPack", "InputArray=i4[1]; InputArray=\"x\"", "Array", "i4[[1]]"},
        {"OVPack", "InputArray=i4[1]; InputArray=i4[[1], [2]]", "ArrayNumber", "i4 1"},
        {"OVPack", "ArrayNumber=-1; InputArray=i4[1]", "Array", "empty"},
        {"OVPack", "InputArray=empty", "ArrayNumber", "i4 0"},
        {"OVPack", "ArrayNumber=2147483647; InputArray=r8[1, 2]", "Array", "empty", kOutOfMemory},
        {"OVUnpack", "InputArray=r8[[1, 2, 3], [4, 5, 6]]; ArrayNumber=1; Operate", "OutputArray",
         "r8[4, 5, 6]"},
        {"OVUnpack", "InputArray=r8@0,7[[1, 2], [3, 4]]; Operate", "OutputArray", "r8@7[1, 2]"},
        {"OVUnpack", "InputArray=r8[[1], [2]]; ArrayNumber=2; Operate", "OutputArray", "empty",
         kInvalidData},
        {"OVUnpack", "InputArray=r8[1, 2]; Operate", "OutputArray", "empty", kMismatch},
    };
    for (const Case& c : cases)
        Check(c, "packing case " + std::to_string(&c - cases));
}

const std::string kNoErrors = "ErrorOut(self, 0, \"No Errors\")";
const Trace kSuccess = {"RunBlock", "StatusReady", kNoErrors, "ControlOut"};

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
    const std::string oom =
        "-2147024882, \"Not enough storage is available to complete this "
        "operation.\"";
    EXPECT_EQ(c.Take(), (Trace{"ValidateGroup(1)", "ErrorOut(self, " + oom + ")",
                               "ErrorOccurred(" + oom + ")", "ControlOut", "ValidateGroup(0)"}));
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
