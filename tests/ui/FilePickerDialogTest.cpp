#include "ui/DialogFixture.h"

#include "platform/StoreProfiles.h"
#include "support/StringLists.h"
#include "platform/DeviceText.h"
#include "ui/picker/CFilePickerDialog.h"
#include "ui/picker/FileListBuilder.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <vector>

namespace velkor::test {
namespace {

namespace picker = ui::picker;

// A picker on the in-memory device: "\StorageCard" holds the folder Images and two images.
class FilePickerDialogTest : public DialogFixture {
protected:
    FilePickerDialogTest() {
        fileSystem.AddDirectory(u"\\StorageCard\\Images");
        // The fake's search lists the newest first: NK.bin, then App.bin.
        fileSystem.AddFile(u"\\StorageCard\\App.bin", "");
        fileSystem.AddFile(u"\\StorageCard\\NK.bin", "");
        fileSystem.AddFile(u"\\StorageCard\\Images\\logo.bin", "");
    }

    ui::CFilePickerDialog& OpenPicker() {
        picker_ = std::make_unique<ui::CFilePickerDialog>(platform, strings);
        picker_->m_extensions.Append(u"bin");
        picker_->Create();
        picker_->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(picker_.get()));
        return *picker_;
    }

    QWidget* Control(int id) const { return picker_->findChild<QWidget*>(QString::number(id)); }
    QTreeWidget& List() const { return *picker_->findChild<QTreeWidget*>(QString::number(picker::kFileList)); }
    int FocusedControl() const { return QApplication::focusWidget()->objectName().toInt(); }
    int CurrentRow() const { return List().indexOfTopLevelItem(List().currentItem()); }

    std::u16string Label() const {
        return picker_->findChild<QLabel*>(QString::number(picker::kFolderLabel))->text().toStdU16String();
    }

    std::vector<std::u16string> RowNames() const {
        std::vector<std::u16string> names;
        for (int row = 0; row < List().topLevelItemCount(); ++row) {
            names.push_back(List().topLevelItem(row)->text(0).toStdU16String());
        }
        return names;
    }

    void Select(const std::vector<int>& rows) {
        List().clearSelection();
        for (int row : rows) {
            List().topLevelItem(row)->setSelected(true);
        }
    }

    std::unique_ptr<ui::CFilePickerDialog> picker_;
};

TEST_F(FilePickerDialogTest, PlacesItsControlsFromTheScreen) {
    struct Case {
        platform::ScreenSize screen;
        int buttonWidth;
    };
    for (const Case& layout : {Case{{800, 480}, 30}, Case{{480, 240}, 34}, Case{{240, 320}, 30}}) {
        system.screen = layout.screen;
        OpenPicker();
        const int width = layout.screen.width;
        const int height = layout.screen.height;
        EXPECT_EQ(picker_->geometry(), QRect(0, 0, width, height));
        EXPECT_EQ(Control(picker::kBackButton)->geometry(), QRect(width - 40, 2, layout.buttonWidth, 30));
        EXPECT_EQ(Control(picker::kOkButton)->geometry(), QRect(width - 80, 2, layout.buttonWidth, 30));
        EXPECT_EQ(Control(picker::kFileList)->geometry(), QRect(1, 33, width - 2, height - 33));
        EXPECT_EQ(Control(picker::kFolderLabel)->geometry(), QRect(0, 3, width - 95, 28));
        const int unit = (width - picker_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 2) / 5;
        EXPECT_EQ(List().columnWidth(0), 3 * unit);
        EXPECT_EQ(List().columnWidth(2), unit);
        EXPECT_EQ(FocusedControl(), picker::kOkButton);
    }
}

TEST_F(FilePickerDialogTest, ShowsTheColumnsAndRowsInTheInterfaceLanguage) {
    strings.UseChineseSet();
    OpenPicker();
    const QTreeWidgetItem& headings = *List().headerItem();
    EXPECT_EQ(headings.text(0), QStringLiteral("名称"));
    EXPECT_EQ(headings.text(1), QStringLiteral("类型"));
    EXPECT_EQ(headings.text(2), QStringLiteral("大小"));
    EXPECT_EQ(List().topLevelItem(0)->text(1), QStringLiteral("上一层"));
    EXPECT_EQ(List().topLevelItem(2)->text(1), QStringLiteral("bin 文件"));
    EXPECT_EQ(List().topLevelItem(2)->text(2), QStringLiteral("0.00 MB"));
}

TEST_F(FilePickerDialogTest, ArrowsMoveTheFocusAlongTheirMap) {
    struct Case {
        int from;
        int currentRow;
        Qt::Key key;
        int to;
        int rowAfter;
    };
    const int okButton = picker::kOkButton;
    const int backButton = picker::kBackButton;
    const int list = picker::kFileList;
    const std::vector<Case> cases{
        {okButton, 0, Qt::Key_Left, backButton, 0},  {okButton, 0, Qt::Key_Right, backButton, 0},
        {okButton, 0, Qt::Key_Down, list, 0},        {okButton, 0, Qt::Key_Up, okButton, 0},
        {backButton, 0, Qt::Key_Left, okButton, 0},  {backButton, 0, Qt::Key_Right, okButton, 0},
        {backButton, 2, Qt::Key_Down, list, 2},      {backButton, 0, Qt::Key_Up, backButton, 0},
        {list, 2, Qt::Key_Left, okButton, 2},        {list, 2, Qt::Key_Right, backButton, 2},
        {list, 0, Qt::Key_Up, backButton, 0},        {list, 2, Qt::Key_Up, list, 1},
        {list, 0, Qt::Key_Down, list, 1},
    };
    for (const Case& move : cases) {
        OpenPicker();
        List().setCurrentItem(List().topLevelItem(move.currentRow));
        Control(move.from)->setFocus();
        QTest::keyClick(Control(move.from), move.key);
        EXPECT_EQ(FocusedControl(), move.to) << move.from << " key " << move.key;
        EXPECT_EQ(CurrentRow(), move.rowAfter) << move.from << " key " << move.key;
    }
}

TEST_F(FilePickerDialogTest, EnterWalksIntoFoldersUpToTheStoresAndBack) {
    struct Step {
        Qt::Key key;
        std::u16string folder;
        std::vector<std::u16string> rows;
    };
    OpenPicker();
    const std::vector<std::u16string> cardRows{u"..", u"Images", u"NK.bin", u"App.bin"};
    EXPECT_EQ(Label(), u"\\StorageCard");
    EXPECT_EQ(RowNames(), cardRows);
    EXPECT_EQ(List().selectedItems(), QList<QTreeWidgetItem*>{List().topLevelItem(0)});
    List().setFocus();
    for (const Step& step : {Step{Qt::Key_Down, u"\\StorageCard", cardRows},
                             Step{Qt::Key_Return, u"\\StorageCard\\Images", {u"..", u"logo.bin"}},
                             Step{Qt::Key_Return, u"\\StorageCard", cardRows},
                             Step{Qt::Key_Enter, u"", {u"StorageCard"}},
                             Step{Qt::Key_Return, u"\\StorageCard", cardRows}}) {
        QTest::keyClick(&List(), step.key);
        EXPECT_EQ(Label(), step.folder);
        EXPECT_EQ(RowNames(), step.rows);
    }
    EXPECT_EQ(system.debugLines, (std::vector<std::u16string>{u"\\StorageCard\n", u"\\StorageCard\\Images\n",
                                                               u"\\StorageCard\n", u"\n", u"\\StorageCard\n"}));
    EXPECT_TRUE(picker_->isVisible());
}

// A folder of many screens shows its first screen at once and the rest as the event loop runs,
// in the rows and order the builder lists; walking away meanwhile leaves none of it behind.
TEST_F(FilePickerDialogTest, ListsALargeFolderScreenFirst) {
    for (int index = 0; index < 5000; ++index) {
        const std::u16string name = u"\\StorageCard\\" + platform::FromUtf8(std::to_string(index));
        if (index % 1000 == 500) {
            fileSystem.AddDirectory(name);
        } else {
            fileSystem.AddFile(name + u".bin", "");
        }
    }
    platform::StringArray extensions;
    extensions.Append(u"bin");
    std::vector<std::u16string> wanted;
    for (const ui::FileRow& row : ui::FileListBuilder(fileSystem, registry, strings, extensions).Rows(u"\\StorageCard")) {
        wanted.push_back(row.name);
    }
    for (const int walkAwayKey : {0, int(Qt::Key_Return)}) {
        picker_ = std::make_unique<ui::CFilePickerDialog>(platform, strings);
        picker_->m_extensions.Append(u"bin");
        picker_->Create();
        EXPECT_GE(List().topLevelItemCount(), 100);
        EXPECT_LT(List().topLevelItemCount(), static_cast<int>(wanted.size()));
        if (walkAwayKey != 0) {
            QTest::keyClick(&List(), Qt::Key(walkAwayKey));  // on the Up row
        }
        const std::vector<std::u16string> rows = walkAwayKey == 0 ? wanted : std::vector<std::u16string>{u"StorageCard"};
        EXPECT_TRUE(QTest::qWaitFor([&] { return RowNames() == rows; }));
        QTest::qWait(100);  // a fill that went on would add rows meanwhile
        EXPECT_EQ(RowNames(), rows);
    }
}

TEST_F(FilePickerDialogTest, DoubleTapEntersAFolderOrPicksAFile) {
    struct Case {
        int row;
        bool closes;
        std::vector<std::u16string> paths;
        std::u16string folderAfter;
    };
    for (const Case& tap : {Case{1, false, {}, u"\\StorageCard\\Images"},
                            Case{2, true, {u"\\StorageCard\\NK.bin"}, u"\\StorageCard"}}) {
        OpenPicker();
        const QRect row = List().visualItemRect(List().topLevelItem(tap.row));
        // A tap, then the second tap that makes it a double tap.
        QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        EXPECT_EQ(picker_->isVisible(), !tap.closes) << tap.row;
        EXPECT_EQ(Items(picker_->m_selectedPaths), tap.paths) << tap.row;
        EXPECT_EQ(Label(), tap.folderAfter) << tap.row;
    }
}

TEST_F(FilePickerDialogTest, OkPicksTheSelectedFilesInListOrder) {
    struct Case {
        const char* name;
        std::vector<int> selected;
        int currentRow;
        bool enterOnList;  // otherwise the OK button is clicked
        bool closes;
        std::vector<std::u16string> paths;
        std::u16string folderAfter;
    };
    const std::vector<Case> cases{
        {"NothingSelected", {}, 0, false, true, {}, u"\\StorageCard"},
        {"TwoFiles", {3, 2}, 3, false, true, {u"\\StorageCard\\NK.bin", u"\\StorageCard\\App.bin"}, u"\\StorageCard"},
        {"EnterOnAFile", {2}, 2, true, true, {u"\\StorageCard\\NK.bin"}, u"\\StorageCard"},
        {"FolderAmongFilesIsEntered", {1, 2}, 2, false, false, {}, u"\\StorageCard\\Images"},
        // The current row is a file, so the folder among the selection must be acted on itself:
        // acting on the current row again would lead back to the OK action without end.
        {"EnterOnAFileWithAFolderSelected", {1, 2}, 2, true, false, {}, u"\\StorageCard\\Images"},
    };
    for (const Case& pick : cases) {
        OpenPicker();
        List().setCurrentItem(List().topLevelItem(pick.currentRow), 0, QItemSelectionModel::NoUpdate);
        Select(pick.selected);
        if (pick.enterOnList) {
            QTest::keyClick(&List(), Qt::Key_Return);
        } else {
            QTest::mouseClick(static_cast<QAbstractButton*>(Control(picker::kOkButton)), Qt::LeftButton);
        }
        EXPECT_EQ(picker_->isVisible(), !pick.closes) << pick.name;
        EXPECT_EQ(picker_->result(), pick.closes ? QDialog::Accepted : QDialog::Rejected) << pick.name;
        EXPECT_EQ(Items(picker_->m_selectedPaths), pick.paths) << pick.name;
        EXPECT_EQ(Label(), pick.folderAfter) << pick.name;
    }
}

// A device whose file system root cannot be searched: its root view has only the Up row.
class UnsearchableRoot : public FakeFileSystem {
public:
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override {
        return pattern == u"\\*.*" ? nullptr : FakeFileSystem::FindFirstFile(pattern, first);
    }
};

TEST_F(FilePickerDialogTest, UpFromARootViewThatCannotBeSearchedStaysThere) {
    UnsearchableRoot files;
    files.AddDirectory(u"\\StorageCard");
    platform::Platform device{registry, files,         system,  deviceIo, bitmapLoader,
                              storageManager, formatLibrary, windows, trust};
    picker_ = std::make_unique<ui::CFilePickerDialog>(device, strings);
    picker_->Create();
    picker_->show();
    List().setFocus();
    // Up from \StorageCard, then Up from the root view's lone Up row.
    for (int press = 0; press < 2; ++press) {
        QTest::keyClick(&List(), Qt::Key_Return);
        EXPECT_EQ(Label(), u"") << press;
        EXPECT_EQ(RowNames(), std::vector<std::u16string>{u".."}) << press;
    }
    picker_.reset();
}

TEST_F(FilePickerDialogTest, EnterClicksTheFocusedButtonAndEscapeCancels) {
    struct Case {
        int control;
        Qt::Key key;
        int result;
    };
    for (const Case& leave : {Case{picker::kOkButton, Qt::Key_Return, QDialog::Accepted},
                              Case{picker::kBackButton, Qt::Key_Return, QDialog::Rejected},
                              Case{picker::kFileList, Qt::Key_Escape, QDialog::Rejected}}) {
        OpenPicker();
        // Nothing selected, so OK closes at once (the selected Up row would go up instead).
        List().clearSelection();
        picker_->setResult(-1);
        Control(leave.control)->setFocus();
        QTest::keyClick(Control(leave.control), leave.key);
        // The click is posted, as the device does.
        EXPECT_TRUE(picker_->isVisible() || leave.key == Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_FALSE(picker_->isVisible());
        EXPECT_EQ(picker_->result(), leave.result);
        EXPECT_TRUE(picker_->m_selectedPaths.Count() == 0);
    }
}

}  // namespace
}  // namespace velkor::test
