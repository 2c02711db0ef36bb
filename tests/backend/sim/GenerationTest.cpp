#include "backend/sim/TwoSlotDevice.h"
#include "support/ProgramRun.h"
#include "update/UpdateSequence.h"

#include <QTemporaryDir>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <array>

namespace velkor::sim::test {
namespace {

namespace fs = std::filesystem;
using shared::Slot;
using update::ImageKind;

// Generation 1 runs in slot A, an earlier update left generation 2 in slot B, the card carries 3.
Generation Gen(unsigned os, unsigned app) { return {PatternBytes(300000 + os, os), PatternBytes(200000 + app, 10 + app)}; }

// The final message.
enum class Said { Complete, Incomplete, NotStarted, AlreadyRunning };
constexpr std::array<std::u16string_view, 4> kSaid{update::kFinalMessage, update::kIncompleteMessage,
                                                   update::kNotStartedMessage, update::kAlreadyRunningMessage};
// The card: signed as release 7, signed as the release the device records, or without a signature.
enum class Card { Release7, RecordedRelease, Unsigned };

struct Row {
    const char* name;
    // The boot side before: BOOT_ORDER, the tries of A and B, the booted slot, VELKOR_VERSION.
    const char* order;
    unsigned aLeft, bLeft;
    Slot booted;
    const char* release;
    // The failure: device.json's faults, and a card file the run finds missing.
    const char* faults;
    const char* missing;
    bool carriesApp;
    // After the run: the generations of the OS and App that boot next, and VELKOR_VERSION.
    unsigned bootsOs, bootsApp;
    const char* releaseAfter;
    Said said;
    // The card's generation and signature, and whether its AutoUpdate folder started the run.
    unsigned cardGen = 3;
    Card card = Card::Release7;
    bool unattended = false;
};

// What boots next by the boot loader's rule (the first slot of BOOT_ORDER with tries left) over the
// stored environment as fw_printenv reads it from the device's two copies.
Generation BootsNext(const TwoSlotDevice& device) {
    const std::string copy = fmt::format("{{}} 0x0 0x{:x}\n", TwoSlotDevice::kEnvironmentBytes);
    const fs::path config = device.Dir() / "fw_env.config";
    velkor::test::WriteHostFile(config, fmt::format(fmt::runtime(copy + copy), (device.Dir() / "uboot.env").string(),
                                                    (device.Dir() / "uboot-redund.env").string()));
    const auto print = [&](const std::string& name) {
        return velkor::test::RunProgram("fw_printenv", {"-c", QString::fromStdString(config), "-n", name.c_str()})
            .standardOutput.trimmed().toStdString();
    };
    for (const char slot : print("BOOT_ORDER")) {
        if (slot != ' ' && print(fmt::format("BOOT_{}_LEFT", slot)) != "0") {
            return device.Holds(slot == 'A' ? Slot::A : Slot::B);
        }
    }
    return {};
}

class GenerationTest : public testing::TestWithParam<Row> {};

TEST_P(GenerationTest, OnlyAWholeUpdateSwitchesAndItsReleaseGoesWithIt) {
    const Row& row = GetParam();
    const QTemporaryDir scratch;
    const TwoSlotDevice device(fs::path(scratch.path().toStdString()) / "device", Gen(1, 1));
    device.StartFrom({{"BOOT_ORDER", row.order}, {"BOOT_A_LEFT", std::to_string(row.aLeft)},
                      {"BOOT_B_LEFT", std::to_string(row.bLeft)}, {"VELKOR_VERSION", row.release},
                      {"VELKOR_MANIFEST_SHA256", std::string(64, 'a')}},
                     row.booted, Gen(2, 2));
    device.PutOnCard(ImageKind::OS, Gen(row.cardGen, row.cardGen).os);
    device.PutOnCard(ImageKind::App, Gen(row.cardGen, row.cardGen).app);
    device.ChangeConfig([&](nlohmann::json& config) { config["faults"] = nlohmann::json::parse(row.faults); });
    const bool fails = row.missing[0] != '\0' || std::string_view(row.faults) != "{}";
    if (row.missing[0] != '\0') {
        fs::remove(device.Dir() / "root/StorageCard/AutoUpdate" / row.missing);
    }
    const std::map<ImageKind, bool> rows{
        {ImageKind::Logo, row.missing == std::string_view("Logo1.bmp")}, {ImageKind::OS, true}, {ImageKind::App, row.carriesApp}};
    const platform::InstalledRelease release7{7, std::string(64, 'c')};
    const std::array<std::optional<platform::InstalledRelease>, 3> cards{
        release7, platform::InstalledRelease{6, std::string(64, 'a')}, std::nullopt};
    const std::optional<platform::InstalledRelease>& card = cards[static_cast<std::size_t>(row.card)];

    const std::u16string message = RunUpdate(device.Dir(), CardSettings(device, rows), card, row.unattended);

    EXPECT_TRUE(BootsNext(device) == Gen(row.bootsOs, row.bootsApp));
    EXPECT_EQ(device.Environment().Values(std::array<std::string_view, 1>{"VELKOR_VERSION"})["VELKOR_VERSION"],
              row.releaseAfter);
    EXPECT_EQ(message, kSaid[static_cast<std::size_t>(row.said)]);
    if (fails) {
        device.ChangeConfig([](nlohmann::json& config) { config.erase("faults"); });
        device.PutOnCard(ImageKind::OS, Gen(3, 3).os);
        RunUpdate(device.Dir(), CardSettings(device, {{ImageKind::OS, true}, {ImageKind::App, true}}), release7);
        EXPECT_TRUE(BootsNext(device) == Gen(3, 3)) << "a rerun of the same card completes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, GenerationTest,
    testing::Values(Row{"Whole", "A B", 3, 0, Slot::A, "5", "{}", "", true, 3, 3, "7", Said::Complete},
                    Row{"OsOnlyTakesTheRunningApp", "A B", 3, 0, Slot::A, "5", "{}", "", false, 3, 1, "7",
                        Said::Complete},
                    Row{"OsTooLargeForItsSlot", "A B", 3, 0, Slot::A, "5", R"({"flashRegionTooSmall": ["os"]})", "",
                        true, 1, 1, "5", Said::Incomplete},
                    Row{"OsFileMissing", "A B", 3, 0, Slot::A, "5", "{}", "NK.bin", true, 1, 1, "5", Said::Incomplete},
                    Row{"OsReadBackDiffers", "A B", 3, 0, Slot::A, "5", R"({"flashReadBackDiffers": true})", "", true,
                        1, 1, "5", Said::Incomplete},
                    Row{"LogoRowFailed", "A B", 3, 0, Slot::A, "5", "{}", "Logo1.bmp", true, 1, 1, "5",
                        Said::Incomplete},
                    Row{"SecondRunBeforeAReboot", "B A", 3, 3, Slot::A, "6", "{}", "", true, 3, 3, "7", Said::Complete},
                    Row{"SecondRunOsOnly", "B A", 3, 3, Slot::A, "6", "{}", "", false, 2, 2, "6", Said::NotStarted},
                    Row{"AfterAFallback", "B A", 3, 0, Slot::A, "6", "{}", "", true, 3, 3, "7", Said::Complete},
                    Row{"FromSlotB", "B A", 3, 3, Slot::B, "6", "{}", "", true, 3, 3, "7", Said::Complete},
                    Row{"RunningSlotOnItsLastTry", "A B", 0, 3, Slot::A, "6", "{}", "", true, 2, 2, "6",
                        Said::NotStarted},
                    Row{"LeftInCardOnAnUnconfirmedSlot", "B A", 3, 2, Slot::B, "6", "{}", "", true, 2, 2, "6",
                        Said::NotStarted},
                    Row{"LeftInSignedCardOfTheRunningRelease", "B A", 3, 3, Slot::B, "6", "{}", "", true, 2, 2, "6",
                        Said::AlreadyRunning, 2, Card::RecordedRelease, true},
                    Row{"LeftInUnsignedCardOfTheRunningImages", "B A", 3, 3, Slot::B, "6", "{}", "", true, 2, 2, "6",
                        Said::AlreadyRunning, 2, Card::Unsigned, true},
                    Row{"LeftInUnsignedCardOfOtherImages", "B A", 3, 3, Slot::B, "6", "{}", "", true, 3, 3, "6",
                        Said::Complete, 3, Card::Unsigned, true},
                    Row{"LeftInCardAfterAFallback", "B A", 3, 0, Slot::A, "6", "{}", "", true, 2, 2, "6",
                        Said::Complete, 2, Card::RecordedRelease, true},
                    Row{"SameCardByHand", "B A", 3, 3, Slot::B, "6", "{}", "", true, 2, 2, "6", Said::Complete, 2,
                        Card::RecordedRelease}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::sim::test
