#include "backend/shared/DeviceError.h"
#include "backend/shared/RegFileParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velkor::shared {
namespace {

using ::testing::HasSubstr;

struct BadFileCase {
    const char* name;
    const char* text;
    const char* where;
    const char* problem;
};

class RegistryBadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(RegistryBadFileTest, NamesTheLineAndTheProblem) {
    const BadFileCase& c = GetParam();
    try {
        RegFileParser::Parse(c.text, "platform.reg");
        FAIL() << "parsed";
    } catch (const DeviceError& failure) {
        EXPECT_THAT(failure.what(), HasSubstr(c.where));
        EXPECT_THAT(failure.what(), HasSubstr(c.problem));
    }
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, RegistryBadFileTest,
    ::testing::Values(
        BadFileCase{"Utf16", "\xFF\xFE[\x01", "platform.reg:1:", "UTF-16"},
        BadFileCase{"ValueBeforeKey", "; c\n\"A\"=\"b\"\n", "platform.reg:2:", "before the first"},
        BadFileCase{"OtherHive", "[HKEY_CURRENT_USER\\X]\n", "platform.reg:1:", "HKEY_LOCAL_MACHINE"},
        BadFileCase{"UnclosedKey", "[HKEY_LOCAL_MACHINE\\X\n", "platform.reg:1:", "']'"},
        BadFileCase{"EmptyKeyName", "[HKEY_LOCAL_MACHINE\\X\\\\Y]\n", "platform.reg:1:", "empty key name"},
        BadFileCase{"TrailingBackslashKey", "[HKEY_LOCAL_MACHINE\\X\\]\n", "platform.reg:1:", "empty key name"},
        BadFileCase{"UnclosedQuote", "[HKEY_LOCAL_MACHINE\\X]\n\"A\"=\"b\n", "platform.reg:2:", "closing quote"},
        BadFileCase{"UnclosedName", "[HKEY_LOCAL_MACHINE\\X]\n\"A=\"b\"\n", "platform.reg:2:", "'='"},
        BadFileCase{"UnknownEscape", "[HKEY_LOCAL_MACHINE\\X]\n\"A\"=\"b\\n\"\n", "platform.reg:2:", "escape"},
        BadFileCase{"HexValue", "[HKEY_LOCAL_MACHINE\\X]\n\"A\"=hex:01,02\n", "platform.reg:2:", "unsupported value"},
        BadFileCase{"DwordTooLong", "[HKEY_LOCAL_MACHINE\\X]\n\"A\"=dword:123456789\n", "platform.reg:2:", "dword"},
        BadFileCase{"DwordNotHex", "[HKEY_LOCAL_MACHINE\\X]\n\"A\"=dword:0x1\n", "platform.reg:2:", "dword"},
        BadFileCase{"NoEquals", "[HKEY_LOCAL_MACHINE\\X]\n\"A\" \"b\"\n", "platform.reg:2:", "'='"},
        BadFileCase{"UnquotedName", "[HKEY_LOCAL_MACHINE\\X]\nA=\"b\"\n", "platform.reg:2:", "expected"},
        BadFileCase{"TextAfterValue", "[HKEY_LOCAL_MACHINE\\X]\n\"A\"=\"b\" c\n", "platform.reg:2:", "after the"},
        BadFileCase{"HeaderNotFirst", "[HKEY_LOCAL_MACHINE\\X]\nREGEDIT4\n", "platform.reg:2:", "expected"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::shared
