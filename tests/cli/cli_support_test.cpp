// The small helpers whose mistakes would show as broken JSON or a wrong byte in a package
// header.
#include "cli/cli_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace quenfall::cli {
namespace {

TEST(CliSupport, JsonStringsEscapeWhatJsonForbidsAndStayValidUtf8) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
    EXPECT_EQ(JsonString("пакет ✓ 固件"), "\"пакет ✓ 固件\"");
    EXPECT_EQ(JsonString("bad\xFF\xC3("), "\"bad\\ufffd\\ufffd(\"") << "invalid bytes of a file name";
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"") << "a lone surrogate is not UTF-8";
    EXPECT_EQ(JsonString("\xE2\x9C"), "\"\\ufffd\\ufffd\"") << "cut short";
}

TEST(CliSupport, BytesParseInDecimalOrHexAndNothingElse) {
    EXPECT_EQ(ParseByte("0"), 0);
    EXPECT_EQ(ParseByte("17"), 17);
    EXPECT_EQ(ParseByte("255"), 255);
    EXPECT_EQ(ParseByte("0x1F"), 0x1F);
    EXPECT_EQ(ParseByte("0XfF"), 0xFF);
    for (const char* bad : {"", "256", "-1", "0x", "0x100", "1a", " 1", "1 ", "+1", "one"})
        EXPECT_EQ(ParseByte(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace quenfall::cli
