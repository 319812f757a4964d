// The references name everything the reader and the formula engine know, so
// that a command or function added later cannot go undocumented.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "formula/formula_nodes.h"
#include "host/script_reader.h"

namespace {

std::string ReadDoc(const std::string& name) {
    const char* root = std::getenv("TK_SOURCE_DIR");
    std::ifstream in(std::string(root != nullptr ? root : ".") + "/docs/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Docs, EveryCommandAndFunctionIsInItsReference) {
    const std::string language = ReadDoc("script-language.md");
    ASSERT_FALSE(language.empty());
    for (const CommandSyntax& c : CommandTable()) {
        EXPECT_NE(language.find("`" + std::string(c.keyword)), std::string::npos) << c.keyword;
    }
    const std::string formulas = ReadDoc("formulas.md");
    ASSERT_FALSE(formulas.empty());
    for (std::string_view name : IntrinsicNames())
        EXPECT_NE(formulas.find("`" + std::string(name) + "`"), std::string::npos) << name;
}

}  // namespace
