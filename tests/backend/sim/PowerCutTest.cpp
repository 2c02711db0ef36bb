#include "backend/sim/PowerCut.h"
#include "backend/sim/TwoSlotDevice.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <vector>

namespace velkor::sim::test {
namespace {

namespace fs = std::filesystem;
using shared::Slot;
using update::ImageKind;
using velkor::test::ReadHostFile;
using velkor::test::WriteHostFile;

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::uint64_t kBootBytes = kMebibyte;
constexpr std::uint64_t kFlashChunk = kMebibyte;
constexpr std::uint64_t kEnvironmentStep = 512;

const Generation& Old() {
    static const Generation generation{PatternBytes(5 * kMebibyte / 2, 1), PatternBytes(3 * kMebibyte / 2, 2)};
    return generation;
}

const Generation& Earlier() {
    static const Generation generation{PatternBytes(2 * kMebibyte + 7, 6), PatternBytes(kMebibyte + 9, 7)};
    return generation;
}

const Generation& New() {
    static const Generation generation{PatternBytes(3 * kMebibyte + 5, 3), PatternBytes(2 * kMebibyte + 3, 4)};
    return generation;
}

// The new OS with the App it was grouped with from the booted slot.
const Generation& NewOsOldApp() {
    static const Generation generation{New().os, Old().app};
    return generation;
}

// One write of the uncut update, in the order the update makes them.
struct Segment {
    std::uint64_t bytes;
    bool environment;
};

struct CardCase {
    const char* name;
    std::map<ImageKind, bool> rows;
    // The writes of the update after the rows before OS: the environment and the slots.
    std::function<std::vector<Segment>()> slotWrites;
    // What a slot may hold once it can boot.
    // Pointers, as the cases are copied while the tests are registered.
    std::vector<const Generation*> allowed;
    const Generation* updated;
    // The boot side before the update, slot B holding Earlier(); as TwoSlotDevice made it when empty.
    shared::BootVariables start = {};
    Slot booted = Slot::A;
};

// Every cut point of the writes: each 1 MiB chunk boundary and the first and last byte of a flash
// write, each 512-byte boundary and the first and last byte of an environment write.
std::set<std::uint64_t> CutPoints(const std::vector<Segment>& segments) {
    std::set<std::uint64_t> points;
    std::uint64_t start = 0;
    for (const Segment& segment : segments) {
        const std::uint64_t step = segment.environment ? kEnvironmentStep : kFlashChunk;
        for (std::uint64_t offset = 0; offset <= segment.bytes; offset += step) {
            points.insert(start + offset);
        }
        points.insert(start + 1);
        points.insert(start + segment.bytes - 1);
        start += segment.bytes;
    }
    points.insert(start);
    return points;
}

// A scratch folder in memory when the machine has one: each cut rewrites a few MiB.
QString ScratchTemplate() {
    std::error_code failure;
    const bool shm = fs::is_directory("/dev/shm", failure) && ::access("/dev/shm", W_OK) == 0;
    return shm ? QStringLiteral("/dev/shm/velkor-power-cut-XXXXXX") : QString();
}

// Runs the update in a child process, which ends as the power cut ends it; its exit status.
int RunUpdateInChild(const fs::path& dir, const update::UpdateSettings& settings) {
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            RunUpdate(dir, settings);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsAllowed(const CardCase& card, const Generation& held) {
    return std::any_of(card.allowed.begin(), card.allowed.end(),
                       [&](const Generation* allowed) { return *allowed == held; });
}

void ExpectEveryBootableSlotWhole(const TwoSlotDevice& device, const CardCase& card) {
    const shared::BootState state = device.Environment().Read();
    for (const Slot slot : shared::kSlots) {
        if (state.TriesLeft(slot) > 0) {
            EXPECT_TRUE(IsAllowed(card, device.Holds(slot))) << "slot " << shared::SlotLetter(slot) << " can boot";
        }
    }
}

// Boots until no slot has tries left, each boot checked, then puts the boot side back as it was.
void ExpectBootsNeverReachATornSlot(const TwoSlotDevice& device, const CardCase& card) {
    std::vector<std::pair<fs::path, std::string>> saved;
    for (const char* name : {"uboot.env", "uboot-redund.env", "cmdline"}) {
        saved.emplace_back(device.Dir() / name, ReadHostFile(device.Dir() / name));
    }
    shared::UbootEnvironment environment = device.Environment();
    for (unsigned boot = 0; boot <= 2 * shared::kBootTries; ++boot) {
        const auto choice = environment.Read().ChooseBoot();
        if (!choice) {
            break;
        }
        EXPECT_TRUE(IsAllowed(card, device.Holds(choice->first))) << "boot " << boot;
        environment.Store(choice->second);
    }
    EXPECT_FALSE(environment.Read().ChooseBoot()) << "the tries run out";
    for (const auto& [file, bytes] : saved) {
        WriteHostFile(file, bytes);
    }
}

// The generation the device boots next; empty when none can boot.
Generation NextBoot(const TwoSlotDevice& device) {
    const auto choice = device.Environment().Read().ChooseBoot();
    return choice ? device.Holds(choice->first) : Generation{};
}

// The power comes back: the device boots, and the same card runs again to its end.
void ExpectRerunCompletes(const TwoSlotDevice& device, const CardCase& card, const update::UpdateSettings& settings) {
    shared::UbootEnvironment environment = device.Environment();
    const auto booted = environment.Read().ChooseBoot();
    ASSERT_TRUE(booted);
    environment.Store(booted->second);
    device.Boot(booted->first);
    environment.Store(shared::BootState::MarkGoodVariables(booted->first));  // an update starts from a confirmed slot

    RunUpdate(device.Dir(), settings);

    const shared::BootState state = environment.Read();
    const Slot first = state.Order()[0];
    EXPECT_NE(first, booted->first) << "the rerun goes into the slot that did not boot";
    EXPECT_EQ(state.TriesLeft(first), shared::kBootTries);
    EXPECT_TRUE(device.Holds(first) == *card.updated) << "the updated generation boots next";
}

class PowerCutTest : public testing::TestWithParam<CardCase> {};

TEST_P(PowerCutTest, EveryCutLeavesOneWholeGenerationToBootAndARerunCompletes) {
    const CardCase& card = GetParam();
    const QTemporaryDir scratch(ScratchTemplate());
    const fs::path pristine = fs::path(scratch.path().toStdString()) / "pristine";
    const TwoSlotDevice made(pristine, Old());
    if (!card.start.empty()) {
        made.StartFrom(card.start, card.booted, Earlier());
    }
    made.PutOnCard(ImageKind::Boot, PatternBytes(kBootBytes, 5));
    made.PutOnCard(ImageKind::OS, New().os);
    made.PutOnCard(ImageKind::App, New().app);
    const update::UpdateSettings settings = CardSettings(made, card.rows);

    std::vector<Segment> segments;
    if (card.rows.at(ImageKind::Logo)) {
        segments.push_back({fs::file_size(pristine / "root/StorageCard/AutoUpdate/Logo1.bmp"), false});
        segments.push_back({fs::file_size(pristine / "root/StorageCard/AutoUpdate/logo2.bmp"), false});
        segments.push_back({kBootBytes, false});
    }
    for (const Segment& write : card.slotWrites()) {
        segments.push_back(write);
    }
    std::uint64_t total = 0;
    for (const Segment& segment : segments) {
        total += segment.bytes;
    }

    std::map<std::string, int> outcomes;
    const std::set<std::uint64_t> points = CutPoints(segments);
    for (const std::uint64_t point : points) {
        SCOPED_TRACE(testing::Message() << "the power cut after " << point << " of " << total << " bytes");
        const fs::path dir = fs::path(scratch.path().toStdString()) / "device";
        fs::remove_all(dir);
        fs::copy(pristine, dir, fs::copy_options::recursive);
        const TwoSlotDevice device(dir);
        device.ChangeConfig([&](nlohmann::json& config) { config["faults"]["powerCutAfterBytes"] = point; });

        const int status = RunUpdateInChild(dir, settings);

        EXPECT_EQ(status, point < total ? PowerCut::kExitStatus : 0);
        device.ChangeConfig([](nlohmann::json& config) { config.erase("faults"); });
        ExpectEveryBootableSlotWhole(device, card);
        ExpectBootsNeverReachATornSlot(device, card);
        ++outcomes[NextBoot(device) == *card.updated ? "the new generation boots" : "an earlier generation boots"];
        ExpectRerunCompletes(device, card, settings);
        if (HasFailure()) {
            break;
        }
    }
    std::cout << card.name << ": " << points.size() << " cut points over " << total << " bytes;";
    for (const auto& [outcome, count] : outcomes) {
        std::cout << ' ' << count << ' ' << outcome << ';';
    }
    std::cout << " every rerun completed\n";
    EXPECT_EQ(outcomes.size(), 2u) << "cuts before the commit keep the old generation, the last one boots the new";
}

const std::map<ImageKind, bool> kEveryImage{{ImageKind::Logo, true}, {ImageKind::Logo2, true}, {ImageKind::Boot, true},
                                            {ImageKind::OS, true},   {ImageKind::App, true}};
const std::map<ImageKind, bool> kOsOnly{{ImageKind::Logo, false}, {ImageKind::OS, true}};
const std::map<ImageKind, bool> kOsAndApp{{ImageKind::Logo, false}, {ImageKind::OS, true}, {ImageKind::App, true}};
const auto kBothWritten = [] {
    return std::vector<Segment>{{TwoSlotDevice::kEnvironmentBytes, true}, {New().os.size(), false},
                                {New().app.size(), false}, {TwoSlotDevice::kEnvironmentBytes, true}};
};

INSTANTIATE_TEST_SUITE_P(
    Cards, PowerCutTest,
    testing::Values(
        CardCase{"EveryImage", kEveryImage,
                 [] {
                     return std::vector<Segment>{{TwoSlotDevice::kEnvironmentBytes, true},
                                                 {New().os.size(), false},
                                                 {New().app.size(), false},
                                                 {TwoSlotDevice::kEnvironmentBytes, true}};
                 },
                 {&Old(), &New()}, &New()},
        // The App is copied from the booted slot into the slot the new OS went to.
        CardCase{"OsOnly", kOsOnly,
                 [] {
                     return std::vector<Segment>{{TwoSlotDevice::kEnvironmentBytes, true},
                                                 {New().os.size(), false},
                                                 {Old().app.size(), false},
                                                 {TwoSlotDevice::kEnvironmentBytes, true}};
                 },
                 {&Old(), &NewOsOldApp()}, &NewOsOldApp()},
        // Slot B written again before a reboot, written after a fallback, and slot A written from B.
        CardCase{"SecondRunBeforeAReboot", kOsAndApp, kBothWritten, {&Old(), &Earlier(), &New()}, &New(),
                 {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "3"}}},
        CardCase{"AfterAFallback", kOsAndApp, kBothWritten, {&Old(), &New()}, &New(),
                 {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}}},
        CardCase{"FromSlotB", kOsAndApp, kBothWritten, {&Old(), &Earlier(), &New()}, &New(),
                 {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "3"}}, Slot::B}),
    [](const testing::TestParamInfo<CardCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::sim::test
