#include "backend/shared/RegFileParser.h"
#include "backend/shared/RegistryService.h"
#include "platform/ErrorCodes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace velkor::shared {
namespace {

namespace error = platform::error;

constexpr std::size_t kRoomy = 260;

class LoadedRegistry {
public:
    explicit LoadedRegistry(std::string_view text)
        : registry_(shared::RegFileParser::Parse(text, "platform.reg"), errors_) {}

    platform::Registry::Handle Open(std::u16string_view key) {
        platform::Registry::Handle handle = 0;
        EXPECT_EQ(registry_.CreateKey(key, handle), error::kSuccess);
        return handle;
    }
    std::uint32_t Query(std::u16string_view key, std::u16string_view name, std::u16string& value,
                        std::size_t maxBytes = kRoomy) {
        const platform::Registry::Handle handle = Open(key);
        const std::uint32_t result = registry_.QueryString(handle, name, maxBytes, value);
        registry_.CloseKey(handle);
        return result;
    }
    std::vector<std::u16string> Subkeys(std::u16string_view key) {
        const platform::Registry::Handle handle = Open(key);
        std::vector<std::u16string> names;
        std::u16string name;
        while (registry_.EnumKey(handle, static_cast<std::uint32_t>(names.size()), kRoomy, name) == error::kSuccess) {
            names.push_back(name);
        }
        EXPECT_EQ(errors_.Last(), error::kNoMoreItems);
        registry_.CloseKey(handle);
        return names;
    }

    shared::ErrorState errors_;
    shared::RegistryService registry_;
};

struct ValueCase {
    const char* name;
    const char* text;
    std::u16string valueName;
    std::uint32_t result;
    std::u16string value;
};

class RegistryValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RegistryValueTest, ReadsTheValue) {
    const ValueCase& c = GetParam();
    LoadedRegistry registry(c.text);
    std::u16string value;
    EXPECT_EQ(registry.Query(u"Drivers\\SD", c.valueName, value), c.result);
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    GoodFiles, RegistryValueTest,
    ::testing::Values(
        ValueCase{"Header5",
                  "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Name\"=\"SD\"\n",
                  u"Name", error::kSuccess, u"SD"},
        ValueCase{"Regedit4CrLf", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Drivers\\SD]\r\n\"Name\"=\"SD\"\r\n", u"Name",
                  error::kSuccess, u"SD"},
        ValueCase{"ByteOrderMarkNoHeader", "\xEF\xBB\xBF[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Name\"=\"SD\"", u"Name",
                  error::kSuccess, u"SD"},
        ValueCase{"CommentsBlanksAndSpaces",
                  "; c\n\n  [hkey_local_machine\\DRIVERS\\sd]  \n  \"Name\" = \"SD\"  \n; x\n", u"name",
                  error::kSuccess, u"SD"},
        ValueCase{"Escapes", "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Path\"=\"\\\\Card\\\\\\\"x\\\"\"\n", u"Path",
                  error::kSuccess, u"\\Card\\\"x\""},
        ValueCase{"Utf8", "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Name\"=\"Speicherkarte \xC3\xBC \xE5\x8D\xA1\"\n",
                  u"Name", error::kSuccess, u"Speicherkarte \u00FC \u5361"},
        ValueCase{"DefaultValue", "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n@=\"default\"\n", u"", error::kSuccess,
                  u"default"},
        ValueCase{"LaterSectionAndValueWin",
                  "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Name\"=\"old\"\n[HKEY_LOCAL_MACHINE\\drivers\\sd]\n\"NAME\"="
                  "\"new\"\n",
                  u"Name", error::kSuccess, u"new"},
        ValueCase{"DwordIsNoString", "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Index\"=dword:0000000a\n", u"Index",
                  error::kInvalidParameter, u""},
        ValueCase{"MissingValue", "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n\"Name\"=\"SD\"\n", u"Folder",
                  error::kFileNotFound, u""},
        ValueCase{"ValueOfAnotherKey",
                  "[HKEY_LOCAL_MACHINE\\Drivers\\SD]\n[HKEY_LOCAL_MACHINE\\Other]\n\"Name\"=\"x\"\n", u"Name",
                  error::kFileNotFound, u""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryServiceTest, SubkeysEnumerateInOrderOfFirstAppearanceWithImpliedKeys) {
    LoadedRegistry registry(
        "[HKEY_LOCAL_MACHINE\\A\\Z]\n[HKEY_LOCAL_MACHINE\\A\\B]\n[HKEY_LOCAL_MACHINE\\a\\z\\Deep]\n"
        "[HKEY_LOCAL_MACHINE\\A\\C\\D]\n");

    EXPECT_EQ(registry.Subkeys(u""), std::vector<std::u16string>{u"A"});
    EXPECT_EQ(registry.Subkeys(u"a\\"), (std::vector<std::u16string>{u"Z", u"B", u"C"}));
    EXPECT_EQ(registry.Subkeys(u"A\\Z"), std::vector<std::u16string>{u"Deep"});
}

// A key's subkeys are found by name, not by walking its siblings: a hundred thousand of them load
// in a moment where a walk per key would take minutes.
TEST(RegistryServiceTest, ManySiblingKeysLoadAndOpenInLinearTime) {
    constexpr int kSiblings = 100000;
    std::string text = "REGEDIT4\n";
    for (int index = 0; index < kSiblings; ++index) {
        text += "[HKEY_LOCAL_MACHINE\\Many\\Key" + std::to_string(index) + "]\n";
    }
    const auto start = std::chrono::steady_clock::now();
    LoadedRegistry registry(text);
    // Found in another letter case, so opening it adds no key.
    registry.Open(u"many\\KEY99999");
    EXPECT_EQ(registry.Subkeys(u"MANY").size(), std::size_t{kSiblings});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RegistryServiceTest, KeysCreatedAtRunTimeJoinTheEnumeration) {
    LoadedRegistry registry("[HKEY_LOCAL_MACHINE\\A\\First]\n");
    registry.Open(u"A\\Second");

    EXPECT_EQ(registry.Subkeys(u"A"), (std::vector<std::u16string>{u"First", u"Second"}));
}

struct LimitCase {
    std::size_t maxChars;
    std::size_t maxBytes;
    std::uint32_t result;
};

class RegistryLimitTest : public ::testing::TestWithParam<LimitCase> {};

// "SDMemory" is 8 characters, "StorageCard" is 11 (22 bytes); each needs room for its terminator.
TEST_P(RegistryLimitTest, NameAndValueNeedRoomForTheTerminator) {
    const auto [maxChars, maxBytes, result] = GetParam();
    LoadedRegistry registry("[HKEY_LOCAL_MACHINE\\Profiles\\SDMemory]\n\"Folder\"=\"StorageCard\"\n");
    const platform::Registry::Handle profiles = registry.Open(u"Profiles");
    std::u16string name;
    std::u16string value;

    EXPECT_EQ(registry.registry_.EnumKey(profiles, 0, maxChars, name), result);
    EXPECT_EQ(registry.Query(u"Profiles\\SDMemory", u"Folder", value, maxBytes), result);
    EXPECT_EQ(name.empty(), result != error::kSuccess);
    EXPECT_EQ(value.empty(), result != error::kSuccess);
}

INSTANTIATE_TEST_SUITE_P(Limits, RegistryLimitTest,
                         ::testing::Values(LimitCase{0, 0, error::kMoreData}, LimitCase{8, 23, error::kMoreData},
                                           LimitCase{9, 24, error::kSuccess}));

TEST(RegistryServiceTest, ClosedAndUnknownHandlesAreInvalidAndHandlesAreReused) {
    LoadedRegistry registry("[HKEY_LOCAL_MACHINE\\A\\B]\n");
    const platform::Registry::Handle first = registry.Open(u"A");
    const platform::Registry::Handle second = registry.Open(u"A");
    registry.registry_.CloseKey(first);
    std::u16string name;

    EXPECT_EQ(registry.registry_.EnumKey(first, 0, kRoomy, name), error::kInvalidHandle);
    EXPECT_EQ(registry.registry_.EnumKey(0, 0, kRoomy, name), error::kInvalidHandle);
    EXPECT_EQ(registry.registry_.EnumKey(second, 0, kRoomy, name), error::kSuccess);
    EXPECT_EQ(registry.Open(u"A\\B"), first);
}

}  // namespace
}  // namespace velkor::shared
