#include "support/ProgramRun.h"
#include "support/RandomBytes.h"
#include "backend/board/support/HostCommand.h"
#include "backend/board/support/LoopDevice.h"
#include "backend/board/support/ReapedChild.h"
#include "backend/board/support/TempFolder.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::uint64_t kSlotBytes = 32 * kMebibyte;
constexpr std::uint64_t kEnvironmentBytes = 0x2000;
constexpr auto kPoll = std::chrono::milliseconds(5);
constexpr auto kRunLimit = std::chrono::seconds(120);

struct Generation {
    std::string os;
    std::string app;
};

const Generation& Old() {
    static const Generation generation{RandomBytes(12 * kMebibyte, 1), RandomBytes(8 * kMebibyte, 2)};
    return generation;
}

const Generation& New() {
    static const Generation generation{RandomBytes(20 * kMebibyte + 7, 3), RandomBytes(12 * kMebibyte + 5, 4)};
    return generation;
}

// A real device with two-slot OS and App regions on loop devices, the boot environment in two files
// and a kernel command line file, whose card updates the OS and App by itself.
class SlotTarget {
public:
    bool Make(std::string& why) {
        const fs::path device = temp_.Path() / "device";
        if (!RunProgram(VELKOR_DEVICE_BINARY, {"init", QString::fromStdString(device.string()), "--auto", "--screen",
                                               "64x48"})
                 .finished) {
            why = "velkor-device init did not run";
            return false;
        }
        for (const char* name : {"Logo1.bmp", "logo2.bmp", "Eboot.nb0"}) {
            fs::remove(Card() / name);
        }
        for (const char* region : {"boot", "logo"}) {
            WriteHostFile(temp_.Path() / (std::string(region) + ".bin"), std::string(kMebibyte, '\0'));
        }
        for (const std::string slot : {"os-a", "os-b", "app-a", "app-b"}) {
            const fs::path file = temp_.Path() / (slot + ".img");
            MakeSparseFile(file, kSlotBytes);
            slots_[slot] = std::make_unique<LoopDevice>(file);
            if (slots_[slot]->Path().empty()) {
                why = "no loop device for a slot";
                return false;
            }
        }
        WriteSlot("os-a", Old().os);
        WriteSlot("app-a", Old().app);
        WriteHostFile(CommandLine(), "console=ttyS0 velkor.slot=A\n");
        WriteHostFile(temp_.Path() / "fw_env.config", fmt::format("{} 0x0 0x{:x}\n{} 0x0 0x{:x}\n", Env(0).string(),
                                                                  kEnvironmentBytes, Env(1).string(), kEnvironmentBytes));
        WriteTargetFile(device);
        WriteHostFile(temp_.Path() / "u-boot-initial-env", "bootdelay=1\n");
        const ProgramResult init = RunProgram(
            VELKOR_DEVICE_BINARY,
            {"env-init", "--target", Target(), "--defaults", QString::fromStdString((temp_.Path() / "u-boot-initial-env").string())});
        if (init.exitCode != 0) {
            why = "velkor-device env-init failed: " + init.standardError.toStdString();
            return false;
        }
        return true;
    }

    QString Target() const { return QString::fromStdString((temp_.Path() / "target.json").string()); }
    fs::path PrintEnvConfig() const { return temp_.Path() / "fw_env.config"; }
    fs::path Card() const { return temp_.Path() / "device/root/StorageCard/AutoUpdate"; }
    fs::path EventsLog() const { return temp_.Path() / "log/events.log"; }
    const fs::path& Slot(const std::string& name) const { return slots_.at(name)->Path(); }

    // BOOT_ORDER and the tries, as fw_printenv shows them.
    std::map<std::string, std::string> PrintEnv() const {
        std::map<std::string, std::string> values;
        const std::optional<std::string> text =
            RunHostCommand("fw_printenv -c " + ShellQuoted(PrintEnvConfig().string()));
        std::istringstream lines(text.value_or(""));
        for (std::string line; std::getline(lines, line);) {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos) {
                values[line.substr(0, equals)] = line.substr(equals + 1);
            }
        }
        return values;
    }

    // What slot "a" or "b" holds, by the generations it may hold.
    std::optional<Generation> Holds(char slot, const std::vector<Generation>& candidates) const {
        for (const Generation& candidate : candidates) {
            if (ReadHostPrefix(Slot(std::string("os-") + slot), candidate.os.size()) == candidate.os &&
                ReadHostPrefix(Slot(std::string("app-") + slot), candidate.app.size()) == candidate.app) {
                return candidate;
            }
        }
        return std::nullopt;
    }

private:
    fs::path Env(int index) const { return temp_.Path() / (index == 0 ? "uboot.env" : "uboot-redund.env"); }
    fs::path CommandLine() const { return temp_.Path() / "cmdline"; }

    void WriteSlot(const std::string& name, const std::string& bytes) const {
        std::fstream out(Slot(name), std::ios::in | std::ios::out | std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    void WriteTargetFile(const fs::path& device) const {
        const json target = {
            {"registry", (device / "platform.reg").string()},
            {"folders",
             {{"StorageCard", (device / "root/StorageCard").string()},
              {"NandFlash", (device / "root/NandFlash").string()}}},
            {"flashRegions",
             {{"boot", (temp_.Path() / "boot.bin").string()},
              {"logo", (temp_.Path() / "logo.bin").string()},
              {"os", {{"slots", {Slot("os-a").string(), Slot("os-b").string()}}}},
              {"app", {{"slots", {Slot("app-a").string(), Slot("app-b").string()}}}}}},
            {"bootEnvironment",
             {{"copies",
               {{{"device", Env(0).string()}, {"offset", 0}, {"size", kEnvironmentBytes}},
                {{"device", Env(1).string()}, {"offset", 0}, {"size", kEnvironmentBytes}}}},
              {"commandLine", CommandLine().string()}}},
            {"commands", {{"restart", {"true"}}}},
            {"log", (temp_.Path() / "log").string()}};
        WriteHostFile(temp_.Path() / "target.json", target.dump(2));
    }

    TempFolder temp_;
    std::map<std::string, std::unique_ptr<LoopDevice>> slots_;
};

// The real updater on the target, which runs the card's update by itself.
class Updater : public board::ReapedChild {
public:
    explicit Updater(const QString& target) : ReapedChild(Start(target.toStdString())) {}

private:
    static pid_t Start(const std::string& target) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(VELKOR_BINARY, VELKOR_BINARY, "--target", target.c_str(), nullptr);
            ::_exit(127);
        }
        return pid;
    }
};

std::size_t CountEvents(const fs::path& log, const std::string& text) {
    const std::string events = ReadHostFile(log);
    std::size_t found = 0;
    for (std::size_t at = events.find(text); at != std::string::npos; at = events.find(text, at + 1)) {
        ++found;
    }
    return found;
}

// Waits until events.log has `count` lines holding `text`; false after the run's limit.
bool WaitForEvents(const fs::path& log, const std::string& text, std::size_t count) {
    const auto deadline = Clock::now() + kRunLimit;
    while (Clock::now() < deadline) {
        if (CountEvents(log, text) >= count) {
            return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

struct KillCase {
    const char* name;
    bool writesApp;
    std::vector<Generation> allowed;
    Generation updated;
};

class TargetSlotsKill : public testing::TestWithParam<KillCase> {
protected:
    void SetUp() override {
        std::string why = RootDevicesMissing({"/dev/loop-control"});
        if (!why.empty() || !RunHostCommand("command -v losetup fw_printenv")) {
            GTEST_SKIP() << (why.empty() ? "needs losetup and fw_printenv" : why);
        }
        if (!target_.Make(why)) {
            GTEST_SKIP() << why;
        }
        WriteHostFile(target_.Card() / "NK.bin", New().os);
        if (GetParam().writesApp) {
            WriteHostFile(target_.Card() / "NAPP.bin", New().app);
        } else {
            fs::remove(target_.Card() / "NAPP.bin");
        }
    }

    void ExpectBootableSlotsWhole(const std::vector<Generation>& allowed) {
        const std::map<std::string, std::string> env = target_.PrintEnv();
        ASSERT_TRUE(env.count("BOOT_ORDER")) << "fw_printenv reads the environment";
        for (const char slot : {'A', 'B'}) {
            if (env.at(fmt::format("BOOT_{}_LEFT", slot)) != "0") {
                EXPECT_TRUE(target_.Holds(static_cast<char>(slot - 'A' + 'a'), allowed))
                    << "slot " << slot << " can boot (" << env.at("BOOT_ORDER") << ")";
            }
        }
    }

    // BOOT_ORDER and B's tries, as an engineer sets them with fw_setenv.
    bool SetBootSide(const std::string& order, int bLeft) const {
        return RunHostCommand(fmt::format("fw_setenv -c {0} BOOT_ORDER '{1}' && fw_setenv -c {0} BOOT_B_LEFT {2}",
                                          ShellQuoted(target_.PrintEnvConfig().string()), order, bLeft))
            .has_value();
    }

    SlotTarget target_;
};

TEST_P(TargetSlotsKill, AKillAtAnyMomentLeavesWholeSlotsToBootAndARerunCompletes) {
    constexpr int kKills = 4;
    const std::string disarm = "environment-store BOOT_B_LEFT=0 -> 1";
    const std::string commit = "environment-store BOOT_ORDER=\"B A\" BOOT_B_LEFT=3 -> 1";
    const fs::path log = target_.EventsLog();

    // How long the slot rows take here, from the disarm to the commit, in a run left to finish.
    Clock::duration window{};
    {
        Updater updater(target_.Target());
        ASSERT_TRUE(WaitForEvents(log, disarm, 1));
        const auto start = Clock::now();
        ASSERT_TRUE(WaitForEvents(log, commit, 1));
        window = Clock::now() - start;
    }
    std::mt19937 random(22);
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill);
        // A different image in every killed run, so that a slot torn by one kill cannot look whole.
        const Generation killed{RandomBytes(New().os.size(), 10 + kill), RandomBytes(New().app.size(), 20 + kill)};
        WriteHostFile(target_.Card() / "NK.bin", killed.os);
        if (GetParam().writesApp) {
            WriteHostFile(target_.Card() / "NAPP.bin", killed.app);
        }
        std::vector<Generation> allowed = GetParam().allowed;
        allowed.push_back(GetParam().writesApp ? killed : Generation{killed.os, Old().app});
        // The old generation in A first again, as an engineer would put it back with fw_setenv; every
        // other run of a whole card starts as a second update before a reboot: B whole, armed and first.
        const bool secondRun = GetParam().writesApp && kill % 2 == 1;
        if (secondRun) {
            WriteHostFile(target_.Slot("os-b"), Old().os);
            WriteHostFile(target_.Slot("app-b"), Old().app);
        }
        ASSERT_TRUE(SetBootSide(secondRun ? "B A" : "A B", secondRun ? 3 : 0));
        const std::size_t disarms = CountEvents(log, disarm);
        const auto delay = std::uniform_int_distribution<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(window).count())(random);
        {
            Updater updater(target_.Target());
            ASSERT_TRUE(WaitForEvents(log, disarm, disarms + 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            updater.Kill();
        }
        ExpectBootableSlotsWhole(allowed);
    }
    WriteHostFile(target_.Card() / "NK.bin", New().os);
    if (GetParam().writesApp) {
        WriteHostFile(target_.Card() / "NAPP.bin", New().app);
    }
    // A rerun of the same card completes: B, the slot that did not boot, holds the update and boots first.
    // The last kill may have come after its commit, which an OS-only card may not write over before a reboot.
    ASSERT_TRUE(SetBootSide("A B", 0));
    const std::size_t commits = CountEvents(log, commit);
    {
        Updater updater(target_.Target());
        ASSERT_TRUE(WaitForEvents(log, commit, commits + 1));
    }
    const std::map<std::string, std::string> env = target_.PrintEnv();
    EXPECT_EQ(env.at("BOOT_ORDER"), "B A");
    EXPECT_EQ(env.at("BOOT_B_LEFT"), "3");
    EXPECT_TRUE(target_.Holds('b', {GetParam().updated}));
}

INSTANTIATE_TEST_SUITE_P(
    Cards, TargetSlotsKill,
    testing::Values(KillCase{"OsAndApp", true, {Old(), New()}, New()},
                    // The App is copied from the booted slot A into B after the OS row.
                    KillCase{"OsOnly", false, {Old(), {New().os, Old().app}}, {New().os, Old().app}}),
    [](const testing::TestParamInfo<KillCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
