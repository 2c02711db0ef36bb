#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/MainWindowTemplate.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace velkor::mainwnd {
namespace {

namespace fs = std::filesystem;

// The rows' flags in the settings file's order: OS, Logo, Logo2, Boot, App, Reset.
struct Flags {
    int os, logo, logo2, boot, app, reset;
};

std::vector<std::u16string> SettingsEntries(const Flags& flags) {
    const auto flag = [](int value) { return value ? std::u16string(u"1") : std::u16string(u"0"); };
    const std::u16string images = u"\\StorageCard\\Images\\";
    return {flag(flags.os),   images + u"NK.bin",    flag(flags.logo), images + u"Logo1.bmp",
            flag(flags.logo2), images + u"logo2.bmp", flag(flags.boot), images + u"Eboot.nb0",
            flag(flags.app),  images + u"NAPP.bin",  flag(flags.reset)};
}

// What an update did to the device, by row: the flash driver's requests and the second logo's copy.
std::set<std::string> RowsWritten(const fs::path& device) {
    const std::vector<std::pair<std::string, std::string>> codes{
        {"0x800020DC", "OS"},  {"0x800020D8", "Logo"},  {"0x800020D4", "Boot"},
        {"0x800020E8", "App"}, {"0x800020E0", "Reset"}};
    std::set<std::string> rows;
    for (const std::string& event : test::LogTexts(test::ReadHostFile(device / "events.log"))) {
        for (const auto& [code, row] : codes) {
            if (event.starts_with("device-control \\VKRFlash\\Vol: " + code)) {
                rows.insert(row);
            }
        }
    }
    if (fs::exists(device / "root/VKRFlash/$MSD$/Logo/Logo.bmp")) {
        rows.insert("Logo2");
    }
    return rows;
}

// The operator's boxes decide, at each row's turn, what an update writes: a box cleared or ticked
// by hand after start-up holds through the whole run, and the boxes show it afterwards.
TEST(UpdateChoices, EachRowFollowsItsBoxAsTheOperatorLeftIt) {
    using namespace control;
    struct Case {
        const char* name;
        Flags settings;
        std::vector<int> clicked;
        std::set<std::string> written;
        std::set<int> tickedAfter;
    };
    const std::vector<Case> cases{
        {"OS cleared and App ticked by hand", {1, 0, 0, 0, 0, 0}, {kOsCheck, kAppCheck}, {"App"}, {kAppCheck}},
        {"Logo2 cleared: a later row's exchange must not tick it again", {0, 1, 1, 0, 0, 0}, {kLogo2Check},
         {"Logo"}, {kLogoCheck}},
        {"Logo ticked by hand and Reset by the Boot rule, both stored clear", {0, 0, 0, 1, 0, 0}, {kLogoCheck},
         {"Boot"}, {kLogoCheck, kBootCheck, kResetCheck}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QTemporaryDir temporary;
        const fs::path device = fs::path(temporary.path().toStdString()) / "device";
        sim::InitDevice(device, sim::DeviceOptions{});
        test::WriteHostFile(device / "root/StorageCard/updater.cfg",
                            test::SettingsFileBytes(SettingsEntries(testCase.settings)));
        sim::SimPlatform sim(device);
        ui::UiStrings strings;
        CUpdateDialog dialog(sim.platform(), strings);
        dialog.Create();
        dialog.show();
        const auto box = [&dialog](int id) { return dialog.findChild<QCheckBox*>(QString::number(id)); };
        for (const int id : testCase.clicked) {
            box(id)->click();
        }

        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        dialog.findChild<QPushButton*>(QString::number(kUpdate))->click();

        EXPECT_EQ(RowsWritten(device), testCase.written);
        std::set<int> tickedAfter;
        for (const int id : {kOsCheck, kLogoCheck, kLogo2Check, kBootCheck, kAppCheck, kResetCheck}) {
            if (box(id)->isChecked()) {
                tickedAfter.insert(id);
            }
        }
        EXPECT_EQ(tickedAfter, testCase.tickedAfter);
    }
}

}  // namespace
}  // namespace velkor::mainwnd
