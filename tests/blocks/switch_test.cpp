#include "blocks/routing/switch_block.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

Variant Cases(VARTYPE type, std::initializer_list<double> values) {
    SafeArrayPtr a = SafeArrayCreateVector(type, 0, static_cast<uint32_t>(values.size()));
    size_t i = 0;
    for (double v : values) {
        Variant e = Variant::R8(v);
        VariantChangeType(&e, &e, 0, type);
        a->SetElementAt(i++, e);
    }
    return Variant::Array(std::move(a));
}

// `event`, ValidateGroup for every group 4 to 12 not in `fired`, then the
// results of a run with `status`.
Trace Routed(std::string event, int fired, HRESULT status = S_OK) {
    Trace t;
    if (!event.empty()) t.push_back(event);
    for (int g = 4; g <= 12; ++g) {
        if (g != fired) t.push_back("ValidateGroup(" + std::to_string(g) + ")");
    }
    if (status == S_OK) {
        t.insert(t.end(), {"RunBlock", "StatusReady", "ErrorOut(self, 0, \"No Errors\")"});
    } else {
        t.push_back("ValidateGroup(1)");
        t.push_back("ErrorOut(self, " + std::to_string(status) + ", \"*\")");
        t.push_back("ErrorOccurred(" + std::to_string(status) + ", \"*\")");
    }
    t.push_back("ControlOut");
    return t;
}

// The trace with message texts replaced by "*", so failures compare by code.
Trace Operate(Block& b) {
    b.Call("Operate");
    Trace t = b.Take();
    for (std::string& line : t) {
        const size_t quote = line.find('"');
        if (line.rfind("Error", 0) == 0 && line.find("No Errors") == std::string::npos) {
            line = line.substr(0, quote) + "\"*\")";
        }
    }
    return t;
}

std::string TempFile(const std::string& name, const std::string& bytes) {
    const auto p = std::filesystem::temp_directory_path() /
                   ("tk_switch_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
}

struct SwitchCase {
    const char* what;
    Variant list;
    Variant input;
    Trace trace;
};

TEST(Switch, RoutesToTheFirstMatchingCase) {
    const Variant three = Cases(VT_R8, {1, 2, 3});
    const std::string numbers = TempFile("numbers.txt", "1,2,3\r\n4\n");
    const std::string colours = TempFile("colours.txt", "red,green\nblue\n");
    const std::string gap = TempFile("gap.txt", "1,,3\n");
    const SwitchCase cases[] = {
        {"double case", three, Variant::R8(2), Routed("Output2(2)", 5)},
        {"no match is no error", three, Variant::R8(5), Routed("DefaultOut(5)", 12)},
        {"only eight cases", Cases(VT_R8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), Variant::R8(10),
         Routed("DefaultOut(10)", 12)},
        {"truncated integer case", Cases(VT_I4, {7}), Variant::R8(7.6),
         Routed("Output1(7.5999999999999996)", 4)},
        {"file numbers", Variant::Str(numbers), Variant::I4(4), Routed("Output4(4)", 7)},
        {"file texts ignore case", Variant::Str(colours), Variant::Str("GREEN"),
         Routed("Output2(\"GREEN\")", 5)},
        {"number becomes text", Variant::Str(gap), Variant::I4(3), Routed("Output3(\"3\")", 6)},
        {"neither path nor list", Variant::R8(1), Variant::R8(1),
         Routed("", 0, TYPE_E_TYPEMISMATCH)},
        {"empty path", Variant::Str(""), Variant::R8(1),
         Routed("DefaultOut(1)", 12, ERROR_FILE_NOT_FOUND_HR)},
        {"missing file", Variant::Str("/nonexistent/tk/cases.txt"), Variant::R8(1),
         Routed("DefaultOut(1)", 12, ERROR_READ_FAULT_HR)},
        {"two dimensions", Variant::Array([] {
             const SAFEARRAYBOUND b[2] = {{2, 0}, {2, 0}};
             return SafeArrayCreate(VT_R8, 2, b);
         }()),
         Variant::R8(0), Routed("DefaultOut(0)", 12, E_INVALIDARG)},
        {"unsupported elements", Cases(VT_DATE, {1}), Variant::R8(1),
         Routed("DefaultOut(1)", 12, TYPE_E_TYPEMISMATCH)},
        {"input without a number", three, Variant::Str("x"),
         Routed("DefaultOut(\"x\")", 12, TYPE_E_TYPEMISMATCH)},
    };
    for (const SwitchCase& c : cases) {
        Block b("OVSwitch");
        b.Put("LookupTable", c.list);
        b.Put("Value", c.input);
        EXPECT_EQ(Operate(b), c.trace) << c.what;
    }
    Block b("OVSwitch");
    b.Put("LookupTable", Variant::Str(colours));
    b.Put("CaseSensitive", Variant::Bool(true));
    b.Put("Value", Variant::Str("GREEN"));
    EXPECT_EQ(Operate(b), Routed("DefaultOut(\"GREEN\")", 12));
    EXPECT_FALSE(dynamic_cast<COVSwitchCtrl*>(b.control.Get())->NumericTable());
    for (const std::string& p : {numbers, colours, gap})
        std::filesystem::remove(p);
}

TEST(Switch, PersistsCasesAsElements) {
    Block b("OVSwitch");
    b.Put("LookupTable", Cases(VT_I2, {4, 5}));
    PropertyBag bag;
    b.control->Save(bag);
    EXPECT_EQ(*bag.Read("ListLength"), Variant::I4(2));
    EXPECT_EQ(*bag.Read("LookupList_1"), Variant::R8(5));
    Block loaded("OVSwitch");
    loaded.control->Load(bag);
    EXPECT_EQ(loaded.Get("LookupTable"), b.Get("LookupTable"));
    b.Put("LookupTable", Variant::Str("c:\\lists\\cases.txt"));
    b.control->Save(bag);
    loaded.control->Load(bag);
    EXPECT_EQ(loaded.Get("LookupTable"), Variant::Str("c:\\lists\\cases.txt"));
}

}  // namespace
