#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/messages.h"

namespace {

// Texts the blocks set that no host transcript already pins.
TEST(SystemMessages, TextsOfTheCodesTheBlocksSet) {
    const std::pair<HRESULT, const char*> cases[] = {
        {TYPE_E_OUTOFBOUNDS, "Invalid number of arguments.\r\n"},
        {E_OUTOFMEMORY, "Not enough storage is available to complete this operation.\r\n"},
        {ERROR_READ_FAULT_HR, "The system cannot read from the specified device.\r\n"},
        {ERROR_FILE_NOT_FOUND_HR, "The system cannot find the file specified.\r\n"},
        {E_INVALIDARG, "The parameter is incorrect.\r\n"},
        {E_FAIL, "Unspecified error\r\n"},
        {CTL_E_SETNOTSUPPORTED, "Set not supported (read-only property)\r\n"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(FormatMessage(code), text) << std::hex << code;
}

TEST(SystemMessages, SystemErrorNumbersReadTheirHresultsText) {
    for (uint32_t number : {0u, 1u, 2u, 5u, 13u, 14u, 30u, 87u}) {
        auto text = FormatMessage(static_cast<HRESULT>(number));
        EXPECT_TRUE(text && text == FormatMessage(HRESULT_FROM_WIN32(number))) << number;
    }
}

TEST(SystemMessages, NoTextForDivisionByZeroOrUnknownCodes) {
    const HRESULT codes[] = {
        ERROR_DIVIDE_BY_ZERO_HR, 8000, HResult(0x8D000002), 0x14, HResult(0xFFFFFFFF), 0x10000,
    };
    for (HRESULT code : codes)
        EXPECT_FALSE(FormatMessage(code)) << std::hex << code;
}

}  // namespace
