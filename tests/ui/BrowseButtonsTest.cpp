#include "ui/DialogFixture.h"

#include "mainwnd/MainWindowTemplate.h"
#include "support/SettingsBytes.h"
#include "support/StringLists.h"
#include "ui/picker/CFilePickerDialog.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <vector>

namespace velkor::test {
namespace {

namespace control = mainwnd::control;

constexpr std::u16string_view kSettingsPath = u"\\StorageCard\\updater.cfg";

enum class Leave { Escape, OkWithNothingSelected, PickRow };

// A main window on a card holding one image of each kind.
class BrowseButtonsTest : public DialogFixture {
protected:
    BrowseButtonsTest() {
        // The fake's search lists the newest first: NK.bin, Logo.BMP, Eboot.nb0, App.bin, notes.txt.
        for (auto image : {u"\\StorageCard\\notes.txt", u"\\StorageCard\\App.bin", u"\\StorageCard\\Eboot.nb0",
                           u"\\StorageCard\\Logo.BMP", u"\\StorageCard\\NK.bin"}) {
            fileSystem.AddFile(image, "");
        }
    }

    // Clicks the browse button and works the picker it opens: notes the names it lists, then
    // leaves it as `leave` says, picking `row` (and every row after it).
    std::vector<std::u16string> Browse(int button, Leave leave, int row = 0) {
        std::vector<std::u16string> listed;
        QTimer::singleShot(0, [&] {
            auto* picker = qobject_cast<ui::CFilePickerDialog*>(QApplication::activeModalWidget());
            auto* list = picker->findChild<QTreeWidget*>(QString::number(ui::picker::kFileList));
            for (int index = 0; index < list->topLevelItemCount(); ++index) {
                listed.push_back(list->topLevelItem(index)->text(0).toStdU16String());
                list->topLevelItem(index)->setSelected(leave == Leave::PickRow && index >= row);
            }
            if (leave == Leave::Escape) {
                QTest::keyClick(list, Qt::Key_Escape);
            } else {
                static_cast<QAbstractButton*>(picker->findChild<QWidget*>(QString::number(ui::picker::kOkButton)))
                    ->click();
            }
        });
        QTest::mouseClick(Item<QPushButton>(button), Qt::LeftButton);
        return listed;
    }

    std::u16string PathField(int id) const { return Item<QLineEdit>(id)->text().toStdU16String(); }
};

TEST_F(BrowseButtonsTest, EachButtonOffersItsExtensionAndFillsItsRow) {
    struct Case {
        int button;
        int pathField;
        std::vector<std::u16string> listed;
        int row;
    };
    const std::vector<Case> cases{
        {control::kOsBrowse, control::kOsPath, {u"..", u"NK.bin", u"App.bin"}, 1},
        {control::kLogoBrowse, control::kLogoPath, {u"..", u"Logo.BMP"}, 1},
        {control::kLogo2Browse, control::kLogo2Path, {u"..", u"Logo.BMP"}, 1},
        {control::kBootBrowse, control::kBootPath, {u"..", u"Eboot.nb0"}, 1},
        // Several files selected: the first in list order wins.
        {control::kAppBrowse, control::kAppPath, {u"..", u"NK.bin", u"App.bin"}, 1},
    };
    Open();
    for (const Case& browse : cases) {
        EXPECT_EQ(Browse(browse.button, Leave::PickRow, browse.row), browse.listed);
        EXPECT_EQ(PathField(browse.pathField), u"\\StorageCard\\" + browse.listed[browse.row]);
    }
    QTest::mouseClick(Item<QPushButton>(control::kExit), Qt::LeftButton);
    EXPECT_EQ(fileSystem.Content(kSettingsPath),
              SettingsFileBytes({u"0", u"\\StorageCard\\NK.bin", u"0", u"\\StorageCard\\Logo.BMP", u"0",
                                 u"\\StorageCard\\Logo.BMP", u"0", u"\\StorageCard\\Eboot.nb0", u"0",
                                 u"\\StorageCard\\NK.bin", u"0"}));
}

TEST_F(BrowseButtonsTest, OnlyAPickChangesThePathAndCheckBoxesKeepTheirState) {
    struct Case {
        const char* name;
        Leave leave;
        std::u16string path;
    };
    const std::u16string before = u"\\StorageCard\\Old.bin";
    const std::string saved =
        SettingsFileBytes({u"0", before, u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0"});
    fileSystem.AddFile(kSettingsPath, saved);
    for (const Case& leave : {Case{"Escape", Leave::Escape, before},
                              Case{"OkWithNothingSelected", Leave::OkWithNothingSelected, before},
                              Case{"Pick", Leave::PickRow, u"\\StorageCard\\App.bin"}}) {
        for (const bool tickedBefore : {false, true}) {
            Open();
            Item<QCheckBox>(control::kOsCheck)->setChecked(tickedBefore);
            Browse(control::kOsBrowse, leave.leave, 2);
            EXPECT_EQ(PathField(control::kOsPath), leave.path) << leave.name;
            EXPECT_EQ(Item<QCheckBox>(control::kOsCheck)->isChecked(), tickedBefore) << leave.name;
            EXPECT_EQ(fileSystem.Content(kSettingsPath), saved) << "a pick is saved by Exit only";
        }
    }
}

TEST_F(BrowseButtonsTest, PathsLongerThanALineEditsDefaultLimitSurviveLoadAndSave) {
    const std::vector<std::u16string> entries{
        u"1", u"\\StorageCard\\" + std::u16string(40000, u'p') + u".bin", u"0", u"", u"0", u"", u"0", u"", u"0", u"",
        u"0"};
    fileSystem.AddFile(kSettingsPath, SettingsFileBytes(entries));
    Open();
    QTest::mouseClick(Item<QPushButton>(control::kExit), Qt::LeftButton);
    EXPECT_EQ(fileSystem.Content(kSettingsPath), SettingsFileBytes(entries));
}

}  // namespace
}  // namespace velkor::test
