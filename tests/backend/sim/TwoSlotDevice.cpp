#include "backend/sim/TwoSlotDevice.h"

#include "backend/shared/slots/BootedSlot.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "platform/DeviceText.h"
#include "storage/DataVolumeFormat.h"
#include "support/FakeSystem.h"
#include "support/ProgramRun.h"
#include "support/RandomBytes.h"
#include "update/ImageSteps.h"
#include "update/ProgramStopper.h"
#include "update/UpdateSequence.h"

namespace velkor::sim::test {
namespace {

namespace fs = std::filesystem;
using update::ImageKind;
using velkor::test::ReadHostFile;
using velkor::test::WriteHostFile;

const std::map<ImageKind, std::string> kCardNames{{ImageKind::OS, "NK.bin"},       {ImageKind::App, "NAPP.bin"},
                                                  {ImageKind::Boot, "Eboot.nb0"},  {ImageKind::Logo, "Logo1.bmp"},
                                                  {ImageKind::Logo2, "logo2.bmp"}};

// A minimal main window: every chosen row runs, the boxes are the flags.
class HeadlessWindow : public update::UpdateWindow {
public:
    HeadlessWindow(platform::Platform& platform, update::UpdateSettings settings)
        : platform_(platform), settings_(std::move(settings)) {}

    platform::UpdateStart StartUpdate(bool unattended) override {
        return platform_.deviceIo.StartUpdate(unattended);
    }
    void StopRunningPrograms() override {
        update::StopRunningPrograms(platform_.windows, platform_.windows.MainWindow());
    }
    void FormatDataVolume() override { storage::FormatDataVolume(platform_); }
    int RunStep(ImageKind kind) override { return update::RunImageStep(platform_, settings_, kind); }
    bool CommitUpdate(bool wholeUpdate) override { return update::CommitUpdate(platform_, wholeUpdate) != 0; }
    bool IsChecked(ImageKind kind) override { return settings_.Enabled(kind) != 0; }
    bool IsCheckBoxEnabled(ImageKind) override { return true; }
    void UpdateData(bool) override {}
    update::UpdateSettings& Settings() override { return settings_; }
    std::u16string& Status(ImageKind kind) override { return statuses_[kind]; }
    void ClearStatusLabel(ImageKind) override {}
    void PaintStatus(ImageKind) override {}
    void EnableButton(update::CommandButton, bool) override {}
    void FocusButton(update::CommandButton) override {}
    void SetWaitCursor(bool) override {}
    void ShowMessage(std::u16string_view text) override { message_ = text; }
    const std::u16string& Message() const { return message_; }

private:
    platform::Platform& platform_;
    update::UpdateSettings settings_;
    std::map<ImageKind, std::u16string> statuses_;
    std::u16string message_;
};

}  // namespace

std::string PatternBytes(std::size_t size, unsigned seed) { return velkor::test::RandomBytes(size, seed); }

TwoSlotDevice::TwoSlotDevice(fs::path dir, const Generation& booted) : dir_(std::move(dir)) {
    InitDevice(dir_, {true, {64, 48}, 0x0409});
    ChangeConfig([](nlohmann::json& config) {
        config["flashRegions"]["os"] = {{"slots", {kSlotBytes, kSlotBytes}}};
        config["flashRegions"]["app"] = {{"slots", {kSlotBytes, kSlotBytes}}};
        config["bootEnvironment"] = {{"size", kEnvironmentBytes}};
    });
    const shared::UbootEnvironment environment = Environment();
    for (const shared::EnvironmentCopy& copy : environment.Copies()) {
        WriteHostFile(copy.device, std::string(copy.size, '\0'));
    }
    Environment().Create(shared::BootState::InitialVariables());
    WriteHostFile(SlotFile("os", shared::Slot::A), booted.os);
    WriteHostFile(SlotFile("app", shared::Slot::A), booted.app);
    Boot(shared::Slot::A);
}

void TwoSlotDevice::ChangeConfig(const std::function<void(nlohmann::json&)>& change) const {
    nlohmann::json config = nlohmann::json::parse(ReadHostFile(dir_ / "device.json"));
    change(config);
    WriteHostFile(dir_ / "device.json", config.dump(1));
}

fs::path TwoSlotDevice::SlotFile(std::string_view region, shared::Slot slot) const {
    return dir_ / "flash" / shared::SlotFileName(*shared::FindRegionByName(region), shared::SlotLetter(slot));
}

Generation TwoSlotDevice::Holds(shared::Slot slot) const {
    return {ReadHostFile(SlotFile("os", slot)), ReadHostFile(SlotFile("app", slot))};
}

shared::UbootEnvironment TwoSlotDevice::Environment() const {
    return shared::UbootEnvironment(
        {{{dir_ / "uboot.env", 0, kEnvironmentBytes}, {dir_ / "uboot-redund.env", 0, kEnvironmentBytes}}});
}

void TwoSlotDevice::Boot(shared::Slot slot) const { WriteHostFile(dir_ / "cmdline", shared::SlotParameter(slot) + "\n"); }

void TwoSlotDevice::StartFrom(const shared::BootVariables& variables, shared::Slot booted, const Generation& inB) const {
    WriteHostFile(SlotFile("os", shared::Slot::B), inB.os);
    WriteHostFile(SlotFile("app", shared::Slot::B), inB.app);
    Environment().Store(variables);
    Boot(booted);
}

std::string TwoSlotDevice::CardFile(ImageKind kind) const { return "\\StorageCard\\AutoUpdate\\" + kCardNames.at(kind); }

void TwoSlotDevice::PutOnCard(ImageKind kind, const std::string& bytes) const {
    WriteHostFile(dir_ / "root/StorageCard/AutoUpdate" / kCardNames.at(kind), bytes);
}

update::UpdateSettings CardSettings(const TwoSlotDevice& device, const std::map<ImageKind, bool>& rows) {
    update::UpdateSettings settings;
    for (const auto& [kind, chosen] : rows) {
        settings.Enabled(kind) = chosen ? 1 : 0;
        if (kind != ImageKind::Reset) {
            *settings.Path(kind) = platform::FromUtf8(device.CardFile(kind));
        }
    }
    return settings;
}

std::u16string RunUpdate(const fs::path& dir, const update::UpdateSettings& settings,
                         const std::optional<platform::InstalledRelease>& release, bool unattended) {
    SimPlatform simulated(dir);
    platform::ApprovedCard approval{{}, release, {}};
    for (const ImageKind kind : {ImageKind::Logo, ImageKind::Boot, ImageKind::OS, ImageKind::App}) {
        if (settings.Enabled(kind) != 0) {
            approval.writes.push_back({*update::FlashControlCode(kind), *settings.Path(kind)});
        }
    }
    simulated.platform().trust.ApproveCard(approval);
    HeadlessWindow window(simulated.platform(), settings);
    // The sequence's own pause before the format is recorded, not slept: a cut test runs it a hundred times.
    velkor::test::FakeSystem pacing;
    update::UpdateSequence(window, pacing, simulated.platform().fileSystem).Run({}, unattended);
    return window.Message();
}

}  // namespace velkor::sim::test
