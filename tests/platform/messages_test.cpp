#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "platform/messages.h"

namespace {

// Every result code platform/hresult.h declares, listed here independently of
// the table so that a constant added there without a text fails this test.
constexpr HRESULT kDeclaredCodes[] = {S_OK,
                                      S_FALSE,
                                      E_NOTIMPL,
                                      E_NOINTERFACE,
                                      E_POINTER,
                                      E_FAIL,
                                      E_UNEXPECTED,
                                      E_OUTOFMEMORY,
                                      E_INVALIDARG,
                                      E_ACCESSDENIED,
                                      DISP_E_UNKNOWNINTERFACE,
                                      DISP_E_MEMBERNOTFOUND,
                                      DISP_E_PARAMNOTFOUND,
                                      DISP_E_TYPEMISMATCH,
                                      DISP_E_UNKNOWNNAME,
                                      DISP_E_NONAMEDARGS,
                                      DISP_E_BADVARTYPE,
                                      DISP_E_EXCEPTION,
                                      DISP_E_OVERFLOW,
                                      DISP_E_BADINDEX,
                                      DISP_E_ARRAYISLOCKED,
                                      DISP_E_BADPARAMCOUNT,
                                      DISP_E_PARAMNOTOPTIONAL,
                                      TYPE_E_TYPEMISMATCH,
                                      TYPE_E_OUTOFBOUNDS,
                                      ERROR_FILE_NOT_FOUND_HR,
                                      ERROR_INVALID_DATA_HR,
                                      ERROR_READ_FAULT_HR,
                                      CTL_E_SETNOTSUPPORTED,
                                      CTL_E_GETNOTSUPPORTED,
                                      SELFREG_E_TYPELIB,
                                      SELFREG_E_CLASS};

TEST(SystemMessages, EveryDeclaredCodeHasText) {
    for (HRESULT code : kDeclaredCodes) {
        std::optional<std::string> text = FormatMessage(code);
        ASSERT_TRUE(text) << std::hex << code;
        EXPECT_GT(text->size(), 2u);
        EXPECT_EQ(text->substr(text->size() - 2), "\r\n") << *text;
    }
}

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

TEST(SystemMessages, TableHasOneWellFormedEntryPerCode) {
    std::set<HRESULT> seen;
    for (const SystemMessage& entry : SystemMessageTable()) {
        EXPECT_TRUE(seen.insert(entry.code).second) << std::hex << entry.code;
        // Plain system error numbers are looked up through their HRESULT form.
        EXPECT_FALSE(entry.code > 0 && entry.code <= 0xFFFF) << std::hex << entry.code;
        ASSERT_FALSE(entry.text.empty());
        EXPECT_NE(entry.text.back(), ' ');
        for (char c : entry.text)
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << entry.text;
    }
}

}  // namespace
