#include "backend/shared/DeviceError.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/StorageDevice.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velkor::sim {
namespace {

using ::testing::HasSubstr;

TEST(DeviceConfigTest, ReadsEveryField) {
    const DeviceConfig config = ParseDeviceConfig(
        R"({"screen": {"width": 1024, "height": 600}, "languageId": "0x0804", "flash": {"later": true},
            "faults": {"writeProtected": ["\\StorageCard", "\\NandFlash"], "fileSizeLimit": 4096,
                       "cardImagesChangedAfterCheck": ["\\StorageCard\\AutoUpdate\\NK.bin"]}})",
        "device.json");

    EXPECT_EQ(config.screen.width, 1024);
    EXPECT_EQ(config.screen.height, 600);
    EXPECT_EQ(config.languageId, 0x0804);
    EXPECT_EQ(config.faults.writeProtected, (std::vector<std::u16string>{u"\\StorageCard", u"\\NandFlash"}));
    EXPECT_EQ(config.faults.fileSizeLimit, 4096U);
    EXPECT_EQ(config.faults.cardImagesChangedAfterCheck,
              std::vector<std::u16string>{u"\\StorageCard\\AutoUpdate\\NK.bin"});
}

TEST(DeviceConfigTest, ReadsTheTrustWithTheDeviceClockAsTheDefaultRule) {
    for (const auto& [validity, rule] : {std::pair{"", platform::ValidityRule::DeviceClock},
                                         {R"(, "validity": "not-checked")", platform::ValidityRule::NotChecked}}) {
        const DeviceConfig config = ParseDeviceConfig(
            fmt::format(R"({{"screen": {{"width": 1, "height": 1}}, "languageId": 1,
                            "trust": {{"keyring": "keyring.pem", "compatible": "velkor-sim"{}}}}})",
                        validity),
            "device.json");
        ASSERT_TRUE(config.trust);
        EXPECT_EQ(config.trust->keyring, "keyring.pem");
        EXPECT_EQ(config.trust->compatible, "velkor-sim");
        EXPECT_EQ(config.trust->validity, rule);
    }
}

TEST(DeviceConfigTest, FaultsAreOptionalAndTheLanguageMayBeANumber) {
    const DeviceConfig config =
        ParseDeviceConfig(R"({"screen": {"width": 1, "height": 8192}, "languageId": 2052})", "device.json");

    EXPECT_EQ(config.languageId, 0x0804);
    EXPECT_TRUE(config.faults.writeProtected.empty());
    EXPECT_FALSE(config.faults.fileSizeLimit);
    EXPECT_TRUE(config.programs.empty());
    EXPECT_FALSE(config.faults.restartFails);
    EXPECT_TRUE(config.faults.terminateFails.empty());
    EXPECT_TRUE(config.fileAttributes.empty());
    EXPECT_FALSE(config.trust);
}

struct BadConfigCase {
    const char* name;
    std::string json;
    const char* complaint;
};

constexpr std::string_view kScreen = R"("screen": {"width": 800, "height": 480})";
constexpr std::string_view kLanguage = R"("languageId": "0x0409")";

std::string Object(std::initializer_list<std::string_view> members) {
    std::string json;
    for (const std::string_view member : members) {
        json += (json.empty() ? "{" : ", ") + std::string(member);
    }
    return json + "}";
}

// A device with the programs list given.
std::string Programs(std::string_view list) {
    return Object({kScreen, kLanguage, "\"programs\": " + std::string(list)});
}

TEST(DeviceConfigTest, ReadsTheFlashRegionsAndFlashFaults) {
    constexpr std::string_view kFlashFaults =
        R"("faults": {"flashDeviceAbsent": "both", "flashRefusedCodes": ["0x800020DC", 2147492064, "0X800020d4"],
                      "flashRegionTooSmall": ["logo", "app"], "flashReadBackDiffers": true})";
    const DeviceConfig config = ParseDeviceConfig(
        Object({kScreen, kLanguage, R"("flashRegions": {"os": 4096, "boot": 1})", kFlashFaults}), "device.json");
    FlashRegionSizes sizes;
    sizes[shared::FlashRegion::Os] = 4096;
    sizes[shared::FlashRegion::Boot] = 1;

    EXPECT_EQ(config.flashRegions, sizes);
    EXPECT_EQ(config.faults.flashDeviceAbsent, FlashDeviceAbsence::Both);
    EXPECT_EQ(config.faults.flashRefusedCodes, (std::vector<std::uint32_t>{0x800020DC, 0x800020E0, 0x800020D4}));
    EXPECT_EQ(config.faults.flashRegionTooSmall,
              (std::vector<shared::FlashRegion>{shared::FlashRegion::Logo, shared::FlashRegion::App}));
    EXPECT_TRUE(config.faults.flashReadBackDiffers);
}

TEST(DeviceConfigTest, ReadsTheProgramsWithTheirDefaultsAndTheirFaults) {
    constexpr std::string_view kPrograms = R"("programs": [
        {"processId": 4294967295, "executable": "\\Windows\\Tirnow.exe", "onCommand": "close",
         "windows": [{"visible": false, "owned": true}, {}]},
        {"processId": 102, "executable": "\\Windows\\Pavlor.exe"}])";
    constexpr std::string_view kFaults =
        R"("faults": {"restartFails": true, "terminateFails": ["\\Windows\\Pavlor.exe", 4294967295]})";
    const DeviceConfig config = ParseDeviceConfig(Object({kScreen, kLanguage, kPrograms, kFaults}), "device.json");

    ASSERT_EQ(config.programs.size(), 2U);
    const ProgramConfig& tirnow = config.programs[0];
    EXPECT_EQ(tirnow.processId, 0xFFFFFFFFU);
    EXPECT_EQ(tirnow.executable, u"\\Windows\\Tirnow.exe");
    EXPECT_EQ(tirnow.onCommand, CommandEffect::Close);
    ASSERT_EQ(tirnow.windows.size(), 2U);
    EXPECT_FALSE(tirnow.windows[0].visible);
    EXPECT_TRUE(tirnow.windows[0].owned);
    EXPECT_TRUE(tirnow.windows[1].visible);
    EXPECT_FALSE(tirnow.windows[1].owned);
    const ProgramConfig& pavlor = config.programs[1];
    EXPECT_EQ(pavlor.onCommand, CommandEffect::Ignore);
    EXPECT_TRUE(pavlor.windows.empty());
    EXPECT_TRUE(config.faults.restartFails);
    EXPECT_EQ(config.faults.terminateFails,
              (std::vector<ProgramSelector>{u"\\Windows\\Pavlor.exe", std::uint32_t{0xFFFFFFFF}}));
}

const std::string kFat =
    test::FatWith(test::FatWith(test::kFat12, "totalSectors", "70000"), "hiddenSectors", "4294967295");

std::string Partition(std::string_view name, std::string_view volume, std::string_view folder,
                      std::string_view fat = kFat) {
    return fmt::format(R"({{"name": "{}", "volume": "{}", "folder": "{}", "fat": {}}})", name, volume, folder, fat);
}

std::string Stores(std::initializer_list<std::string_view> partitions, std::string_view secondDevice = "DSK2:") {
    std::string list;
    for (const std::string_view partition : partitions) {
        list += (list.empty() ? "" : ", ") + std::string(partition);
    }
    return fmt::format(R"("stores": [{{"deviceName": "DSK1:", "profile": "NandFLASH", "partitions": []}},
                                     {{"deviceName": "{}", "profile": "BinFLASH", "partitions": [{}]}}])",
                       secondDevice, list);
}

const std::string kTwoPartitions =
    Stores({Partition("Part00", "\\\\VKRFlash", "VKRFlash"), Partition("Part01", "\\\\Data", "data")});

TEST(DeviceConfigTest, ReadsTheStoresAndStorageFaults) {
    constexpr std::string_view kStorageFaults =
        R"("faults": {"storeOpenFails": ["DSK1:"], "partitionSearchFails": ["dsk2:"], "volumeDeviceAbsent": ["\\X"],
                      "volumeParametersShort": true, "freeSpaceShort": true, "diskInfoFails": true,
                      "dismountFails": true, "formatLibraryMissing": true, "formatEntryMissing": true,
                      "formatFails": true})";
    const DeviceConfig config = ParseDeviceConfig(Object({kScreen, kLanguage, kTwoPartitions, kStorageFaults}), "d");
    const shared::FatParameters fat{512, 4, 1, 2, 512, 70000, 0xF8, 12, 32, 2, 0xFFFFFFFF};

    EXPECT_EQ(config.stores, (std::vector<StoreConfig>{
                                 {u"DSK1:", u"NandFLASH", {}},
                                 {u"DSK2:",
                                  u"BinFLASH",
                                  {{u"Part00", u"\\VKRFlash", u"VKRFlash", fat}, {u"Part01", u"\\Data", u"data", fat}}},
                             }));
    const StorageFaults& faults = config.faults.storage;
    EXPECT_EQ(faults.storeOpenFails, std::vector<std::u16string>{u"DSK1:"});
    EXPECT_EQ(faults.partitionSearchFails, std::vector<std::u16string>{u"dsk2:"});
    EXPECT_EQ(faults.volumeDeviceAbsent, std::vector<std::u16string>{u"\\X"});
    for (const bool on : {faults.volumeParametersShort, faults.freeSpaceShort, faults.diskInfoFails,
                          faults.dismountFails, faults.formatLibraryMissing, faults.formatEntryMissing,
                          faults.formatFails}) {
        EXPECT_TRUE(on);
    }
}

TEST(DeviceConfigTest, WithoutStoresTheDeviceHasNone) {
    const DeviceConfig config = ParseDeviceConfig(Object({kScreen, kLanguage}), "device.json");

    EXPECT_TRUE(config.stores.empty());
    EXPECT_FALSE(config.faults.storage.formatFails);
}

std::string BadPartition(std::string_view partition) {
    return Object({kScreen, kLanguage, Stores({partition})});
}

std::string BadFat(std::string_view field, std::string_view value) {
    return BadPartition(Partition("Part00", "\\\\V", "V", test::FatWith(kFat, field, value)));
}

class BadDeviceConfigTest : public ::testing::TestWithParam<BadConfigCase> {};

TEST_P(BadDeviceConfigTest, NamesTheFileAndTheField) {
    const BadConfigCase& c = GetParam();
    try {
        ParseDeviceConfig(c.json, "/dev1/device.json");
        FAIL() << "accepted";
    } catch (const shared::DeviceError& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("/dev1/device.json: "));
        EXPECT_THAT(failure.what(), HasSubstr(c.complaint));
    }
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, BadDeviceConfigTest,
    ::testing::Values(
        BadConfigCase{"NotJson", "{screen", "not valid JSON"}, BadConfigCase{"Empty", "", "not valid JSON"},
        BadConfigCase{"NotAnObject", "[1]", "JSON object"},
        BadConfigCase{"NoScreen", Object({kLanguage}), "\"screen\" is missing"},
        BadConfigCase{"ScreenNotObject", Object({R"("screen": 800)", kLanguage}), "\"screen\" must be"},
        BadConfigCase{"NoHeight", Object({R"("screen": {"width": 800})", kLanguage}), "\"screen.height\" is missing"},
        BadConfigCase{"ZeroWidth", Object({R"("screen": {"width": 0, "height": 480})", kLanguage}), "\"screen.width\""},
        BadConfigCase{"HugeWidth", Object({R"("screen": {"width": 8193, "height": 480})", kLanguage}),
                      "\"screen.width\""},
        BadConfigCase{"NegativeHeight", Object({R"("screen": {"width": 800, "height": -1})", kLanguage}),
                      "\"screen.height\""},
        BadConfigCase{"FractionalHeight", Object({R"("screen": {"width": 800, "height": 480.5})", kLanguage}),
                      "\"screen.height\""},
        BadConfigCase{"WidthAsText", Object({R"("screen": {"width": "800", "height": 480})", kLanguage}),
                      "\"screen.width\""},
        BadConfigCase{"NoLanguage", Object({kScreen}), "\"languageId\" is missing"},
        BadConfigCase{"LanguageTooLarge", Object({kScreen, R"("languageId": "0x10000")"}), "\"languageId\""},
        BadConfigCase{"LanguageNotANumber", Object({kScreen, R"("languageId": "english")"}), "\"languageId\""},
        BadConfigCase{"LanguageNegative", Object({kScreen, R"("languageId": -1)"}), "\"languageId\""},
        BadConfigCase{"FaultsNotObject", Object({kScreen, kLanguage, R"("faults": [])"}), "\"faults\""},
        BadConfigCase{"ProtectedNotAList", Object({kScreen, kLanguage, R"("faults": {"writeProtected": "\\x"})"}),
                      "\"faults.writeProtected\""},
        BadConfigCase{"ProtectedNotStrings", Object({kScreen, kLanguage, R"("faults": {"writeProtected": [1]})"}),
                      "\"faults.writeProtected\""},
        BadConfigCase{"NegativeSizeLimit", Object({kScreen, kLanguage, R"("faults": {"fileSizeLimit": -1})"}),
                      "\"faults.fileSizeLimit\""},
        BadConfigCase{"RegionsNotObject", Object({kScreen, kLanguage, R"("flashRegions": 4096)"}), "\"flashRegions\""},
        BadConfigCase{"EmptyRegion", Object({kScreen, kLanguage, R"("flashRegions": {"os": 0})"}),
                      "\"flashRegions.os\""},
        BadConfigCase{"RegionSizeAsText", Object({kScreen, kLanguage, R"("flashRegions": {"boot": "1 MiB"})"}),
                      "\"flashRegions.boot\""},
        BadConfigCase{"UnknownAbsence", Object({kScreen, kLanguage, R"("faults": {"flashDeviceAbsent": "fallback"})"}),
                      "\"faults.flashDeviceAbsent\" must be \"primary\" or \"both\""},
        BadConfigCase{"RefusedCodesNotAList",
                      Object({kScreen, kLanguage, R"("faults": {"flashRefusedCodes": "0x800020DC"})"}),
                      "\"faults.flashRefusedCodes\""},
        BadConfigCase{"RefusedCodeBeyond32Bits",
                      Object({kScreen, kLanguage, R"("faults": {"flashRefusedCodes": [4294967296]})"}),
                      "\"faults.flashRefusedCodes\""},
        BadConfigCase{"RefusedCodeNotHex", Object({kScreen, kLanguage, R"("faults": {"flashRefusedCodes": ["0xG0"]})"}),
                      "\"faults.flashRefusedCodes\""},
        BadConfigCase{"UnknownRegionTooSmall",
                      Object({kScreen, kLanguage, R"("faults": {"flashRegionTooSmall": ["os", "kernel"]})"}),
                      "region names: \"boot\", \"logo\", \"os\", \"app\""},
        BadConfigCase{"ReadBackDiffersNotBoolean",
                      Object({kScreen, kLanguage, R"("faults": {"flashReadBackDiffers": 1})"}),
                      "\"faults.flashReadBackDiffers\""},
        BadConfigCase{"ProgramsNotAList", Programs("{}"), "\"programs\" must be a list of programs"},
        BadConfigCase{"ProgramNotAnObject", Programs("[1]"), "\"programs[0]\" must be an object"},
        BadConfigCase{"NoProcessId", Programs(R"([{"executable": "\\x.exe"}])"),
                      "\"programs[0].processId\" is missing"},
        BadConfigCase{"ProcessIdZero", Programs(R"([{"processId": 0, "executable": "\\x.exe"}])"),
                      "\"programs[0].processId\" must be a nonzero 32-bit number"},
        BadConfigCase{"ProcessIdBeyond32Bits", Programs(R"([{"processId": 4294967296, "executable": "\\x.exe"}])"),
                      "\"programs[0].processId\" must be a nonzero 32-bit number"},
        BadConfigCase{"ProcessIdOfTheUpdater", Programs(R"([{"processId": 100, "executable": "\\x.exe"}])"),
                      "other than 100, the updater's own"},
        BadConfigCase{"ProcessIdTwice",
                      Programs(R"([{"processId": 7, "executable": "\\x.exe"},
                                   {"processId": 101, "executable": "\\y.exe"},
                                   {"processId": 101, "executable": "\\z.exe"}])"),
                      "\"programs[2].processId\" must be unique, but programs[1] has 101 too"},
        BadConfigCase{"NoExecutable", Programs(R"([{"processId": 101}])"), "\"programs[0].executable\" is missing"},
        BadConfigCase{"EmptyExecutable", Programs(R"([{"processId": 101, "executable": ""}])"),
                      "\"programs[0].executable\" must be a device path"},
        BadConfigCase{"ExecutableWithALineBreak", Programs(R"([{"processId": 101, "executable": "\\x\n.exe"}])"),
                      "\"programs[0].executable\" must be a device path"},
        BadConfigCase{"WindowsNotAList", Programs(R"([{"processId": 101, "executable": "\\x.exe", "windows": {}}])"),
                      "\"programs[0].windows\" must be a list of windows"},
        BadConfigCase{"WindowNotAnObject",
                      Programs(R"([{"processId": 101, "executable": "\\x.exe", "windows": [true]}])"),
                      "\"programs[0].windows[0]\" must be an object"},
        BadConfigCase{"VisibleNotBoolean",
                      Programs(R"([{"processId": 1, "executable": "\\x.exe"},
                                   {"processId": 2, "executable": "\\y.exe", "windows": [{}, {"visible": 1}]}])"),
                      "\"programs[1].windows[1].visible\" must be true or false"},
        BadConfigCase{"UnknownCommandEffect",
                      Programs(R"([{"processId": 1, "executable": "\\x.exe", "onCommand": "quit"}])"),
                      "\"programs[0].onCommand\" must be \"ignore\" or \"close\""},
        BadConfigCase{"RestartFailsNotBoolean", Object({kScreen, kLanguage, R"("faults": {"restartFails": "yes"})"}),
                      "\"faults.restartFails\" must be true or false"},
        BadConfigCase{"TerminateFailsNotAList",
                      Object({kScreen, kLanguage, R"("faults": {"terminateFails": "\\Windows\\Tirnow.exe"})"}),
                      "\"faults.terminateFails\" must be a list of process ids and executables"},
        BadConfigCase{"TerminateFailsProcessIdZero",
                      Object({kScreen, kLanguage, R"("faults": {"terminateFails": [0]})"}),
                      "\"faults.terminateFails\""},
        BadConfigCase{"StoresNotAList", Object({kScreen, kLanguage, R"("stores": {})"}), "\"stores\" must be a list"},
        BadConfigCase{"StoreWithoutProfile",
                      Object({kScreen, kLanguage, R"("stores": [{"deviceName": "DSK1:", "partitions": []}])"}),
                      "\"stores[0].profile\" is missing"},
        BadConfigCase{"EmptyDeviceName",
                      Object({kScreen, kLanguage,
                              R"("stores": [{"deviceName": "", "profile": "P", "partitions": []}])"}),
                      "\"stores[0].deviceName\" must be a non-empty string"},
        BadConfigCase{"DeviceNameTwice", Object({kScreen, kLanguage, Stores({}, "dsk1:")}),
                      "\"stores[1].deviceName\" must be a device name that no other store has"},
        BadConfigCase{"PartitionsNotAList",
                      Object({kScreen, kLanguage,
                              R"("stores": [{"deviceName": "D", "profile": "P", "partitions": 1}])"}),
                      "\"stores[0].partitions\" must be a list"},
        BadConfigCase{"PartitionNameTwice",
                      BadPartition(Partition("Part00", "\\\\A", "A") + ", " + Partition("PART00", "\\\\B", "B")),
                      "\"stores[1].partitions[1].name\" must be a partition name that no other"},
        BadConfigCase{"VolumeWithoutBackslash", BadPartition(Partition("Part00", "VKRFlash", "VKRFlash")),
                      "\"stores[1].partitions[0].volume\" must be a backslash and a plain folder name"},
        BadConfigCase{"VolumeOfTwoFolders", BadPartition(Partition("Part00", "\\\\A\\\\B", "A")),
                      "\"stores[1].partitions[0].volume\""},
        BadConfigCase{"FolderWithSeparator", BadPartition(Partition("Part00", "\\\\A", "A/B")),
                      "\"stores[1].partitions[0].folder\" must be a plain folder name"},
        BadConfigCase{"FolderUp", BadPartition(Partition("Part00", "\\\\A", "..")),
                      "\"stores[1].partitions[0].folder\""},
        BadConfigCase{"FolderWithColon", BadPartition(Partition("Part00", "\\\\A", "C:")),
                      "\"stores[1].partitions[0].folder\""},
        BadConfigCase{"NoFat", BadPartition(R"({"name": "P", "volume": "\\V", "folder": "V"})"),
                      "\"stores[1].partitions[0].fat\" is missing"},
        BadConfigCase{"FatFieldMissing", BadPartition(Partition("P", "\\\\V", "V", R"({"bytesPerSector": 512})")),
                      "\"stores[1].partitions[0].fat.sectorsPerCluster\" is missing"},
        BadConfigCase{"ZeroSectorsPerCluster", BadFat("sectorsPerCluster", "0"),
                      "\"stores[1].partitions[0].fat.sectorsPerCluster\" must be an integer from 1 to 255"},
        BadConfigCase{"ZeroBytesPerSector", BadFat("bytesPerSector", "0"),
                      "\"stores[1].partitions[0].fat.bytesPerSector\" must be an integer from 1 to 65535"},
        BadConfigCase{"RootEntriesBeyond16Bits", BadFat("rootEntries", "65536"),
                      "\"stores[1].partitions[0].fat.rootEntries\" must be an integer from 0 to 65535"},
        BadConfigCase{"TotalBeyond32Bits", BadFat("totalSectors", "4294967296"),
                      "\"stores[1].partitions[0].fat.totalSectors\" must be an integer from 0 to 4294967295"},
        BadConfigCase{"StoreOpenFailsNotStrings",
                      Object({kScreen, kLanguage, R"("faults": {"storeOpenFails": [1]})"}),
                      "\"faults.storeOpenFails\" must be a list of store device names"},
        BadConfigCase{"FileAttributesNotAnObject", Object({kScreen, kLanguage, R"("fileAttributes": ["\\x"])"}),
                      "\"fileAttributes\" must be an object"},
        BadConfigCase{"FileAttributeReadOnly", Object({kScreen, kLanguage, R"("fileAttributes": {"\\x": "0x21"})"}),
                      "\"fileAttributes[\\x]\" must be a number or a string such as \"0x16\""},
        BadConfigCase{"FileAttributeNotANumber",
                      Object({kScreen, kLanguage, R"("fileAttributes": {"\\x": "hidden"})"}),
                      "\"fileAttributes[\\x]\" must be a number"},
        BadConfigCase{"FileAttributeOutOfTheRoot",
                      Object({kScreen, kLanguage, R"("fileAttributes": {"\\..\\x": 2})"}),
                      "\"fileAttributes[\\..\\x]\" must be named by a device path"},
        BadConfigCase{"FileAttributeOfTheRoot", Object({kScreen, kLanguage, R"("fileAttributes": {"\\": 2})"}),
                      "\"fileAttributes[\\]\" must be named by a device path"},
        BadConfigCase{"FileAttributePathTwice",
                      Object({kScreen, kLanguage, R"("fileAttributes": {"\\A": 2, "a\\": 4})"}),
                      "must be a path that no other key names"},
        BadConfigCase{"FormatFailsNotBoolean", Object({kScreen, kLanguage, R"("faults": {"formatFails": "yes"})"}),
                      "\"faults.formatFails\" must be true or false"},
        BadConfigCase{"TrustWithoutKeyring", Object({kScreen, kLanguage, R"("trust": {"compatible": "v"})"}),
                      "\"trust.keyring\" is missing"},
        BadConfigCase{"TrustWithoutCompatible", Object({kScreen, kLanguage, R"("trust": {"keyring": "k.pem"})"}),
                      "\"trust.compatible\" is missing"},
        BadConfigCase{"KeyringOutsideTheDevice",
                      Object({kScreen, kLanguage, R"("trust": {"keyring": "../k.pem", "compatible": "v"})"}),
                      "\"trust.keyring\" must be the name of a file in the device directory"},
        BadConfigCase{"KeyringTheDeviceItself",
                      Object({kScreen, kLanguage, R"("trust": {"keyring": "..", "compatible": "v"})"}),
                      "\"trust.keyring\" must be the name of a file in the device directory"},
        BadConfigCase{"UnknownValidityRule",
                      Object({kScreen, kLanguage, R"("trust": {"keyring": "k", "compatible": "v", "validity": "rtc"})"}),
                      "\"trust.validity\" must be \"device-clock\" or \"not-checked\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
