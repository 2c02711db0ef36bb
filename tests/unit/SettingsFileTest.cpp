#include "mainwnd/CSettingsFile.h"
#include "support/FakeFileSystem.h"
#include "support/SettingsBytes.h"
#include "support/StringLists.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

#include <string>
#include <vector>

namespace velkor::mainwnd {
namespace {

using platform::StringArray;
using test::ArrayOf;
using test::Items;
using test::FakeFileSystem;
using test::SettingsFileBytes;
using test::Utf16Le;

constexpr std::u16string_view kPath = u"\\StorageCard\\updater.cfg";

const std::vector<std::u16string> kWorkedExample{
    u"1", u"\\StorageCard\\NK.bin", u"0", u"", u"0", u"\\StorageCard\\logo2.bmp",
    u"1", u"\\StorageCard\\Eboot.nb0", u"0", u"", u"1",
};

struct SplitCase {
    const char* name;
    std::u16string text;
    std::vector<std::u16string> entries;
};

class SplitEntriesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitEntriesTest, FindsTheTextBetweenOpeningAndClosingMarkers) {
    FakeFileSystem fileSystem;
    StringArray list;
    const int count = CSettingsFile(fileSystem, std::u16string(kPath)).SplitEntries(GetParam().text, list);
    EXPECT_EQ(Items(list), GetParam().entries);
    EXPECT_EQ(count, static_cast<int>(GetParam().entries.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitEntriesTest,
    testing::Values(
        SplitCase{"Empty", u"", {}},
        SplitCase{"NoMarker", u"hello", {}},
        SplitCase{"EmptyValueIsAnEntry", u"$|$$|$", {u""}},
        SplitCase{"CrLfLines", u"$|$a$|$\r\n$|$b$|$\r\n", {u"a", u"b"}},
        SplitCase{"LfLines", u"$|$a$|$\n$|$b$|$\n", {u"a", u"b"}},
        SplitCase{"BlankLines", u"\r\n$|$a$|$\r\n\r\n\r\n$|$b$|$", {u"a", u"b"}},
        SplitCase{"NoLineEnds", u"$|$a$|$$|$b$|$", {u"a", u"b"}},
        SplitCase{"TextBetweenEntriesIsSkipped", u"$|$a$|$b$|$c$|$", {u"a", u"c"}},
        SplitCase{"TextBeforeFirstMarkerIsSkipped", u"\uFEFFjunk$|$a$|$", {u"a"}},
        SplitCase{"UnclosedLastEntryIsDropped", u"$|$a$|$\r\n$|$b", {u"a"}},
        SplitCase{"MarkerInsideValueShiftsEntries", u"$|$x$|$y$|$\r\n$|$z$|$", {u"x", u"\r\n"}},
        SplitCase{"UnicodeValue", u"$|$\\存储卡\\NK.bin$|$", {u"\\存储卡\\NK.bin"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST(SplitEntriesAppend, KeepsWhatTheListAlreadyHeld) {
    FakeFileSystem fileSystem;
    StringArray list = ArrayOf({u"before"});
    EXPECT_EQ(CSettingsFile(fileSystem, std::u16string(kPath)).SplitEntries(u"$|$a$|$", list), 2);
    EXPECT_EQ(Items(list), (std::vector<std::u16string>{u"before", u"a"}));
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::u16string> entries;
};

class ReadEntriesTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadEntriesTest, ReadsTheFileAsUtf16LittleEndian) {
    FakeFileSystem fileSystem;
    fileSystem.AddFile(kPath, GetParam().bytes);
    StringArray list;
    CSettingsFile file(fileSystem, std::u16string(kPath));
    EXPECT_EQ(file.ReadEntries(list), static_cast<int>(GetParam().entries.size()));
    EXPECT_EQ(Items(list), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadEntriesTest,
    testing::Values(
        ReadCase{"EmptyFile", "", {}},
        ReadCase{"AsWritten", Utf16Le(u"$|$1$|$\r\n$|$\\a$|$\r\n"), {u"1", u"\\a"}},
        ReadCase{"ByteOrderMark", "\xFF\xFE" + Utf16Le(u"$|$1$|$\r\n"), {u"1"}},
        ReadCase{"NulEndsTheText", Utf16Le(u"$|$1$|$") + std::string(2, '\0') + Utf16Le(u"$|$2$|$"), {u"1"}},
        ReadCase{"OddTrailingByteIgnored", Utf16Le(u"$|$1$|$$|$2$|") + "$", {u"1"}},
        ReadCase{"SingleByteTextHasNoMarkers", "$|$1$|$\r\n$|$2$|$\r\n", {}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(ReadEntries, AFileThatIsMissingOrCannotBeOpenedGivesNothing) {
    for (const bool present : {false, true}) {
        FakeFileSystem fileSystem;
        if (present) {
            fileSystem.AddFile(kPath, Utf16Le(u"$|$1$|$"));
            fileSystem.FailOpen(kPath);
        }
        StringArray list;
        EXPECT_EQ(CSettingsFile(fileSystem, std::u16string(kPath)).ReadEntries(list), 0) << present;
        EXPECT_EQ(list.Count(), 0u) << present;
    }
}

// A card file larger than the memory left: the read runs out of memory part-way.
class ExhaustingFileSystem : public FakeFileSystem {
public:
    std::unique_ptr<platform::File> OpenFile(std::u16string_view, platform::FileMode) override {
        return std::make_unique<ExhaustingFile>();
    }

private:
    struct ExhaustingFile : platform::File {
        bool Read(void*, std::uint32_t, std::uint32_t&) override { throw std::bad_alloc(); }
        bool Write(const void*, std::uint32_t) override { return false; }
        bool Seek(std::uint64_t) override { return false; }
        std::uint64_t Length() const override { return std::uint64_t{1} << 40; }
        platform::FileIdentity Identity() const override { return {}; }
        bool Close() override { return true; }
    };
};

TEST(ReadEntries, AFileTooLargeForMemoryIsTreatedAsUnreadable) {
    ExhaustingFileSystem fileSystem;
    StringArray list;
    EXPECT_EQ(CSettingsFile(fileSystem, std::u16string(kPath)).ReadEntries(list), 0);
    EXPECT_EQ(list.Count(), 0u);
}

TEST(ReadEntries, ClosesTheFileWithTheObject) {
    FakeFileSystem fileSystem;
    fileSystem.AddFile(kPath, Utf16Le(u"$|$1$|$"));
    {
        StringArray list;
        CSettingsFile file(fileSystem, std::u16string(kPath));
        file.ReadEntries(list);
    }
    EXPECT_EQ(fileSystem.OpenFiles(), 0);
}

TEST(WriteEntries, WritesTheWorkedExampleByteForByte) {
    FakeFileSystem fileSystem;
    fileSystem.AddDirectory(u"\\StorageCard");
    CSettingsFile file(fileSystem, std::u16string(kPath));
    EXPECT_EQ(file.WriteEntries(ArrayOf(kWorkedExample)), 9);  // "$|$1$|$\r\n"

    const std::string content = fileSystem.Content(kPath).value_or("");
    EXPECT_EQ(content.size(), 314u);
    EXPECT_EQ(content.substr(0, 18), std::string("\x24\0\x7C\0\x24\0\x31\0\x24\0\x7C\0\x24\0\x0D\0\x0A\0", 18));
    EXPECT_EQ(content, SettingsFileBytes(kWorkedExample));
}

TEST(WriteEntries, AllClearFileIs188Bytes) {
    FakeFileSystem fileSystem;
    fileSystem.AddDirectory(u"\\StorageCard");
    CSettingsFile(fileSystem, std::u16string(kPath))
        .WriteEntries(ArrayOf({u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0"}));
    EXPECT_EQ(fileSystem.Content(kPath).value_or("").size(), 188u);
}

TEST(WriteEntries, WhatIsWrittenReadsBackTheSame) {
    FakeFileSystem fileSystem;
    fileSystem.AddDirectory(u"\\StorageCard");
    CSettingsFile(fileSystem, std::u16string(kPath)).WriteEntries(ArrayOf(kWorkedExample));
    StringArray list;
    CSettingsFile(fileSystem, std::u16string(kPath)).ReadEntries(list);
    EXPECT_EQ(Items(list), kWorkedExample);
}

TEST(WriteEntries, RefusesAnEmptyListOrPathWithoutTouchingTheFile) {
    FakeFileSystem fileSystem;
    fileSystem.AddFile(kPath, "old");
    EXPECT_EQ(CSettingsFile(fileSystem, std::u16string(kPath)).WriteEntries(StringArray()), 0);
    EXPECT_EQ(CSettingsFile(fileSystem, u"").WriteEntries(ArrayOf({u"1"})), 0);
    EXPECT_EQ(fileSystem.Content(kPath), "old");
}

struct TakenNameCase {
    const char* name;
    std::vector<std::u16string> folders;
    std::vector<std::u16string> files;
};

class TakenTemporaryNameTest : public testing::TestWithParam<TakenNameCase> {};

TEST_P(TakenTemporaryNameTest, SavesWithoutTouchingWhatHoldsTheName) {
    FakeFileSystem fileSystem;
    fileSystem.AddDirectory(u"\\StorageCard");
    for (const std::u16string& folder : GetParam().folders) {
        fileSystem.AddDirectory(folder);
    }
    for (const std::u16string& file : GetParam().files) {
        fileSystem.AddFile(file, "operator's own");
    }
    auto expectedFiles = fileSystem.FilePaths();
    expectedFiles.insert(u"storagecard\\updater.cfg");

    EXPECT_GT(CSettingsFile(fileSystem, std::u16string(kPath)).WriteEntries(ArrayOf(kWorkedExample)), 0);

    EXPECT_EQ(fileSystem.Content(kPath), SettingsFileBytes(kWorkedExample));
    EXPECT_EQ(fileSystem.FilePaths(), expectedFiles);
    for (const std::u16string& file : GetParam().files) {
        EXPECT_EQ(fileSystem.Content(file), "operator's own");
    }
    for (const std::u16string& folder : GetParam().folders) {
        EXPECT_EQ(fileSystem.GetAttributes(folder), platform::kFileAttributeDirectory);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, TakenTemporaryNameTest,
    testing::Values(TakenNameCase{"Folder", {u"\\StorageCard\\updater.cfg.tmp"}, {}},
                    TakenNameCase{"OperatorsFile", {}, {u"\\StorageCard\\updater.cfg.tmp"}},
                    TakenNameCase{"SeveralNames",
                                  {u"\\StorageCard\\updater.cfg.tmp"},
                                  {u"\\StorageCard\\updater.cfg.1.tmp", u"\\StorageCard\\updater.cfg.2.tmp"}}),
    [](const testing::TestParamInfo<TakenNameCase>& info) { return info.param.name; });

enum class Fault { CannotCreate, WriteFailsPartWay, CloseFails, ReplaceFails, NoStorageCard };

struct FailedSaveCase {
    const char* name;
    Fault fault;
};

class FailedSaveTest : public testing::TestWithParam<FailedSaveCase> {};

TEST_P(FailedSaveTest, KeepsThePreviousFileAndLeavesNoTemporaryFile) {
    FakeFileSystem fileSystem;
    const std::string previous = Utf16Le(u"$|$previous$|$\r\n");
    if (GetParam().fault != Fault::NoStorageCard) {
        fileSystem.AddFile(kPath, previous);
    }
    switch (GetParam().fault) {
        case Fault::CannotCreate: fileSystem.FailOpen(u"\\StorageCard\\updater.cfg.tmp"); break;
        case Fault::WriteFailsPartWay: fileSystem.FailWritesAfter(5); break;
        case Fault::CloseFails: fileSystem.FailCloses(); break;
        case Fault::ReplaceFails: fileSystem.FailMoves(); break;
        case Fault::NoStorageCard: break;
    }
    const auto before = fileSystem.FilePaths();

    EXPECT_EQ(CSettingsFile(fileSystem, std::u16string(kPath)).WriteEntries(ArrayOf(kWorkedExample)), 0);

    EXPECT_EQ(fileSystem.FilePaths(), before);
    if (GetParam().fault != Fault::NoStorageCard) {
        EXPECT_EQ(fileSystem.Content(kPath), previous);
    }
    EXPECT_EQ(fileSystem.OpenFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedSaveTest,
                         testing::Values(FailedSaveCase{"CannotCreate", Fault::CannotCreate},
                                         FailedSaveCase{"WriteFailsPartWay", Fault::WriteFailsPartWay},
                                         FailedSaveCase{"CloseFails", Fault::CloseFails},
                                         FailedSaveCase{"ReplaceFails", Fault::ReplaceFails},
                                         FailedSaveCase{"NoStorageCard", Fault::NoStorageCard}),
                         [](const testing::TestParamInfo<FailedSaveCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::mainwnd
