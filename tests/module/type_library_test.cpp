// The generated type library: the IDL of a block against a golden file,
// and the JSON form against the live dispatch of every class.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "module/type_library.h"

namespace {

std::string SourceFile(const std::string& relative) {
    const char* root = std::getenv("TK_SOURCE_DIR");
    std::ifstream in(std::string(root != nullptr ? root : ".") + "/" + relative);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(TypeLibrary, IdlOfABlockMatchesTheGoldenFile) {
    std::ostringstream idl;
    WriteCoclassIdl(idl, *FindClass("OVEquality"));
    EXPECT_EQ(idl.str(), SourceFile("tests/module/equality_block.idl"));
}

TEST(TypeLibrary, WholeLibraryDeclaresItsEnumerationsAndModule) {
    std::ostringstream idl;
    WriteTypeLibraryIdl(idl);
    std::string text = idl.str();
    EXPECT_NE(text.find("library TALLYKITLib"), std::string::npos);
    EXPECT_NE(text.find("version(1.1)"), std::string::npos);
    EXPECT_NE(text.find("\t\tovBandStop = 3\n\t} FILTER_TYPE;"), std::string::npos);
    EXPECT_NE(text.find("\t\tovBlackman = 6\n\t} WINDOW_TYPE;"), std::string::npos);
    for (const char* e : {"MATRIX_MULTIPLY", "COMPLEX_OP", "DIGITAL_WINDOW", "FIR_FILTER_TYPE"})
        EXPECT_NE(text.find(std::string("} ") + e + ";"), std::string::npos) << e;
    EXPECT_NE(text.find("module MathAnalysis"), std::string::npos);
    for (std::string_view f : MathAnalysisFunctions()) {
        EXPECT_NE(text.find("[entry(\"" + std::string(f) + "\")]"), std::string::npos) << f;
    }
    EXPECT_EQ(MathAnalysisFunctions().size(), 18u);
}

// Every member and event the JSON lists answers to its name with its DISPID
// on a live instance, and nothing a live instance has is missing.
TEST(TypeLibrary, JsonAgreesWithTheLiveDispatchOfEveryClass) {
    std::ostringstream out;
    WriteTypeLibraryJson(out);
    nlohmann::json lib = nlohmann::json::parse(out.str());
    EXPECT_EQ(lib["name"], "TALLYKITLib");
    EXPECT_EQ(lib["version"], "1.1");
    // Outputs a host writes back but a browser should not offer (a sample of
    // every family that has them): their puts are hidden.
    const std::set<std::string> outputs = {
        "OVAdd.Value",       "OVMux.Value",    "OVBitUnpack.Output3",  "OVLookup.MapIndex",
        "OVCollector.Array", "OVPack.Array",   "OVGetElement.Element", "OVSubArray.OutputArray",
        "Formula.Output1",   "Statistics.Mean"};
    std::set<std::string> listed;
    for (const auto& coclass : lib["coclasses"]) {
        std::string name = coclass["name"];
        SCOPED_TRACE(name);
        listed.insert(name);
        const ClassEntry* c = FindClass(coclass["progId"].get<std::string>());
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->coclass, name);
        ComPtr<COleControl> live = c->create();
        live->InitNew();
        const auto& members = coclass["dispatch"]["members"];
        EXPECT_EQ(members.size(), live->GetTypeInfo()->All().size());
        for (const auto& m : members) {
            DISPID id = 0;
            EXPECT_EQ(live->GetIDsOfNames(m["name"].get<std::string>(), &id), S_OK) << m["name"];
            EXPECT_EQ(id, m["dispid"].get<DISPID>()) << m["name"];
            if (outputs.count(name + "." + m["name"].get<std::string>())) {
                EXPECT_TRUE(m["hiddenPut"].get<bool>()) << m["name"];
            }
        }
        const auto& events = coclass["events"]["events"];
        EXPECT_EQ(events.size(), live->GetEventInfo()->All().size());
        for (const auto& e : events) {
            const EventDesc* desc = live->GetEventInfo()->Find(e["dispid"].get<DISPID>());
            ASSERT_NE(desc, nullptr) << e["name"];
            EXPECT_EQ(desc->name, e["name"].get<std::string>());
        }
    }
    for (const ClassEntry& c : ClassTable()) {
        EXPECT_EQ(listed.count(std::string(c.coclass)), c.coclass.empty() ? 0u : 1u) << c.className;
    }
}
