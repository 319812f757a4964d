// What new blocks hold, what they save under which names and kinds, and what a
// stored state without a key gives, for every family with plain settings.
#include <gtest/gtest.h>

#include "framework/base_math_ctrl.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;

// A new block reads `fresh` and answers with help context `help` (0: not
// checked here); one loaded from an empty bag reads `unstored`.
struct Defaults {
    const char* cls;
    const char* fresh;
    const char* unstored;
    int32_t help = 0;
};

TEST(StoredState, NewBlocksAndEmptyBags) {
    const Defaults rows[] = {
        {"OVAdd", "Value=r8 0; InputX=i4 0; InputY=i4 0", "", 51},
        {"OVSubtract", "Value=r8 0; InputX=i4 0; InputY=i4 0", "", 66},
        {"OVMultiply", "Value=r8 0; InputX=i4 0; InputY=i4 0", "", 61},
        {"OVDivide", "Value=r8 0; InputX=i4 0; InputY=i4 1", "InputY=r8 1", 56},
        {"OVModulus", "Value=i4 0; InputX=i4 0; InputY=i4 1", "", 59},
        {"OVAnd", "Value=bool 1; InputY=bool 1; BooleanType=true", ""},
        {"OVOr", "Value=bool 1; InputY=bool 1; BooleanType=true", ""},
        {"OVXor", "Value=false; InputY=bool 1; BooleanType=true", ""},
        {"OVNand", "Value=bool 1; InputY=bool 1; BooleanType=true", ""},
        {"OVNor", "Value=false; InputY=bool 1; BooleanType=true", ""},
        {"OVNot", "Value=false; Input=bool 1; BooleanType=true", ""},
        {"OVEquality", "InputY=i4 0; Equal=false; IgnoreWhiteSpace=true",
         "InputY=\"0.0\"; IgnoreWhiteSpace=true"},
        {"OVLessThan", "InputY=i4 0; LessThan=false", "InputY=\"0.0\""},
        {"IfThenElse", "InputX=i4 0; IgnoreWhiteSpace=true",
         "InputX=\"0.0\"; IgnoreWhiteSpace=true"},
        {"SubString", "InputString=\"\"; InputSubString=\"\"",
         "InputString=\"\"; IgnoreWhiteSpace=true"},
        {"OVAlarm", "Value=r8 0; VeryHigh=r8 0; High=r8 0; Low=r8 0; VeryLow=r8 0; AlarmOptions=1",
         "VeryLow=r8 0; AlarmOptions=1"},
        {"OVCollector", "ClearOnOutput=true", "ArrayIndex=-1", 53},
        {"OVGetElement", "", "", 57},
        {"OVSetElement", "GrowArray=true", "", 64},
        {"OVConcatArray", "", "", 54},
        {"OVSubArray", "EndIndex=1", "", 65},
        {"OVPack", "ClearOnOutput=true", "", 62},
        {"OVUnpack", "", "", 68},
        {"TALLYKIT.LXHistogramCtrl.1", "TriggerError=false", "TriggerError=true"},
        {"OVFuncGen", "", "ArraySize=1; SampleRate=r8 10"},
        {"Formula", "Formula=\"\"; Input3Name=\"Input3\"", "Input1Name=\"Input1\"", 74},
    };
    for (const Defaults& r : rows) {
        Block b(r.cls);
        harness::ExpectMembers(b, r.fresh, r.cls);
        if (r.help != 0) {
            EXPECT_EQ(dynamic_cast<COVBaseMathCtrl&>(*b.control).HelpContext(), r.help) << r.cls;
        }
        PropertyBag empty;
        b.control->Load(empty);
        harness::ExpectMembers(b, r.unstored, std::string(r.cls) + " from an empty bag");
    }
}

// A block after `puts` saves `saved`; a block loaded from that bag reads `loaded`.
struct Saved {
    const char* cls;
    const char* puts;
    const char* saved;
    const char* loaded;
};

TEST(StoredState, SavedKindsAndNames) {
    const Saved rows[] = {
        // Arithmetic inputs persist in the block's kind; what does not convert saves 0.
        {"OVAdd", "InputX=\"2.5\"; InputY=\"abc\"", "InputX=r8 2.5; InputY=r8 0",
         "InputX=r8 2.5; InputY=r8 0"},
        {"OVDivide", "InputX=3; InputY=r8[0, 0]", "InputX=r8 3; InputY=r8 0", "InputY=r8 0"},
        {"OVModulus", "InputX=2.5; InputY=\"9\"", "InputX=i4 2; InputY=i4 9", "InputX=i4 2"},
        // Logic inputs persist as Booleans or numbers, by BooleanType.
        {"OVOr", "InputX=true; InputY=i4[0, 0]; BooleanType=false", "InputX=i4 -1; InputY=i4 1",
         "BooleanType=false; InputX=i4 -1; InputY=i4 1"},
        {"OVNand", "InputX=0; InputY=i4[0, 0]; BooleanType=true", "InputX=false; InputY=bool 1",
         "BooleanType=true; InputX=false; InputY=bool 1"},
        {"OVNot", "Input=i4[0, 0]; BooleanType=false", "Input=i4 1", "Input=i4 1"},
        {"OVGreaterThanEqual", "CaseSensitive=true; IgnoreWhiteSpace=false", "",
         "CaseSensitive=true; IgnoreWhiteSpace=false"},
        // Texts of the inputs, one without a text form as "0.0" or the empty text.
        {"IfThenElse", "InputX=2.5; InputY=r8[0, 0]; Compare=i2 12; CaseSensitive=true",
         "InputX=\"2.5\"; InputY=\"0.0\"; Compare=i2 12; CaseSensitive=true",
         "InputX=\"2.5\"; InputY=\"0.0\"; Compare=i2 12; CaseSensitive=true"},
        {"SubString", "InputString=1234; InputSubString=bstr[\"\"]; CaseSensitive=true",
         "InputString=\"1234\"; InputSubString=\"\"; CaseSensitive=true; IgnoreWhiteSpace=true",
         "InputString=\"1234\""},
        {"OVAlarm", "Value=\"12.5\"; VeryHigh=90; Low=r8[0]; AlarmOptions=2",
         "Value=r8 12.5; VeryHigh=r8 90; High=r8 0; Low=r8 0; VeryLow=r8 0; AlarmOptions=2",
         "Value=r8 12.5; AlarmOptions=2"},
        {"OVCollector", "New=\"12\"; ArrayIndex=4; ClearOnOutput=false",
         "New=r8 12; ArrayIndex=4; ClearOnOutput=false", "ArrayIndex=4; ClearOnOutput=false"},
        {"TALLYKIT.LXHistogramCtrl.1", "BinIncrement=\"0.5\"; BinMaxValue=\"x\"", "",
         "BinIncrement=r8 0.5; NumberOfBins=0; BinMaxValue=r8 0"},
        // Multiplexer inputs come back as their texts.
        {"OVMux", "Input0=5; Input1=2.5; Input2=null; InputIndex=1", "",
         "Input0=\"5\"; Input1=\"2.5\"; Input2=\"\"; InputIndex=1"},
        {"OVBitPack", "Input6=i2 1", "Input6=i2 1", "Input6=i2 1"},
        // Lookup tables as typed entries, numbers as doubles; a text input that is no number
        // saves 0.
        {"OVLookup",
         "LookupTable=bstr[[\"a\", \"b\", \"c\"], [\"1\", \"2\", \"3\"]]; Delimiter=265",
         "LookupType=8200; ListLength=3; LookupList_1_2=\"3\"; LookupTable=\"\"",
         "LookupTable=bstr[[\"a\", \"b\", \"c\"], [\"1\", \"2\", \"3\"]]; Delimiter=i2 9"},
        {"OVLookup", "LookupTable=i4[[3], [4]]; Input=\"not a number\"",
         "LookupList_0_0=r8 3; Input=r8 0", "LookupTable=i4[[3], [4]]"},
        // Cases as numbered elements, or the path.
        {"OVSwitch", "LookupTable=i2[4, 5]", "ListLength=2; LookupList_1=r8 5",
         "LookupTable=i2[4, 5]"},
        {"OVSwitch", "LookupTable=\"c:\\\\lists\\\\cases.txt\"", "",
         "LookupTable=\"c:\\\\lists\\\\cases.txt\""},
    };
    for (const Saved& r : rows) {
        const std::string what = std::string(r.cls) + " row " + std::to_string(&r - rows);
        Block b(r.cls);
        harness::Drive(b, r.puts);
        PropertyBag bag;
        b.control->Save(bag);
        harness::ExpectBag(bag, r.saved, what);
        Block loaded(r.cls);
        loaded.control->Load(bag);
        harness::ExpectMembers(loaded, r.loaded, what);
    }
}

}  // namespace
