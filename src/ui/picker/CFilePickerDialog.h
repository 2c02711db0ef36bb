#pragma once

#include "platform/Platform.h"
#include "platform/StringArray.h"
#include "ui/UiStrings.h"
#include "ui/picker/FileRow.h"

#include <QDialog>
#include <QIcon>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QKeyEvent;
class QTimer;
class QTreeWidgetItem;

namespace velkor::ui {

class CColorListCtrl;
class CFaceButton;
class CTransparentStatic;
class FolderRowReader;

// Control identifiers of the file picker.
namespace picker {
inline constexpr int kFolderLabel = 1010;
inline constexpr int kFileList = 1012;
inline constexpr int kOkButton = 1013;
inline constexpr int kBackButton = 2;
}  // namespace picker

// The updater's own file browser: one folder of the device at a time, worked by touch or by
// Enter and the arrows, always opening at "\StorageCard". The caller fills m_extensions, runs
// DoModal and reads m_selectedPaths.
class CFilePickerDialog : public QDialog {
    Q_OBJECT

public:
    CFilePickerDialog(platform::Platform& platform, const UiStrings& strings, QWidget* parent = nullptr);
    ~CFilePickerDialog() override;

    // Lays the picker out over the whole screen and shows "\StorageCard", without running it.
    void Create();
    // IDOK when the OK action closed the picker, also with nothing picked; IDCANCEL when the back
    // button or Escape did.
    int DoModal();

    // The accepted extensions, without the dot ("bin").
    platform::StringArray m_extensions;
    // One full path per picked file, in list order.
    platform::StringArray m_selectedPaths;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    void PlaceControls();
    void InsertColumns();
    void ConnectMessageMap();
    // True when the key was dealt with here and goes no further.
    bool PreTranslateMessage(QObject* target, const QKeyEvent& key);
    bool MoveFocusByArrow(QObject* target, int key);

    void InitFileList(CColorListCtrl& list);
    void ShowFolder(CColorListCtrl& list, std::u16string_view path);
    // Shows the folder's first screen of rows at once and the rest as the event loop runs.
    void FillFileList(CColorListCtrl& list, std::u16string_view path);
    // Adds the rows of up to `entries` more entries of the folder being shown.
    void AddRows(CColorListCtrl& list, std::size_t entries);
    void OnFillTimer();
    QList<QTreeWidgetItem*> MakeItems(const std::vector<FileRow>& rows);
    void OnDblclkFileList();
    // Enters the folder of a Folder row, goes up for the Up row, picks a File row.
    void ActOnRow(int row);
    void OnOkButton();
    void OnSetFocus(QWidget* lostFocus);
    std::u16string CurrentFolder() const;

    platform::Platform& platform_;
    const UiStrings& strings_;
    CFaceButton* m_okButton;
    CFaceButton* m_backButton;
    CColorListCtrl* m_fileList;
    CTransparentStatic* m_folderLabel;
    // The list's images, one per row kind.
    std::map<RowKind, QIcon> rowIcons_;
    // The folder being shown, while some of its entries are still to be listed.
    std::unique_ptr<FolderRowReader> rowReader_;
    // Rows above the first file: new folders go there.
    int folderRows_ = 0;
    QTimer* fillTimer_;
};

}  // namespace velkor::ui
