#pragma once
// Values written as the host prints them ("r8@5[1, 2]", "bstr \"a\""), so
// that tests state arrays as readably as scripts do.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "platform/value_text.h"

inline Variant V(std::string_view text) {
    Variant v;
    std::string error;
    EXPECT_TRUE(ParseValue(text, &v, &error)) << text << ": " << error;
    return v;
}

// Failed expectations print values as the host does.
inline void PrintTo(const Variant& v, std::ostream* os) {
    *os << FormatValue(v);
}
