#include "ui/picker/CFilePickerDialog.h"

#include "platform/DeviceText.h"
#include "ui/DialogFocus.h"
#include "ui/DialogResult.h"
#include "ui/FullScreen.h"
#include "ui/PostedClick.h"
#include "ui/QtText.h"
#include "ui/UiResources.h"
#include "ui/controls/CColorListCtrl.h"
#include "ui/controls/CFaceButton.h"
#include "ui/controls/CTransparentStatic.h"
#include "ui/picker/FileListBuilder.h"
#include "ui/picker/FolderRowReader.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <array>

namespace velkor::ui {
namespace {

constexpr std::u16string_view kStartFolder = u"\\StorageCard";
// The first screen: entries are read until this many rows show (more than any screen holds) or
// this many entries were examined, whichever comes first, so it shows at once in any folder.
constexpr int kFirstScreenRows = 100;
constexpr std::size_t kFirstScreenEntries = 4096;
// Entries listed each time the event loop is idle, small enough to keep the picker responsive.
constexpr std::size_t kEntriesPerFill = 2048;

// Where an arrow key moves the focus from each of the three controls that take it.
enum class FocusMove { NoRule, Stay, ToOkButton, ToBackButton, ToList, ToBackButtonFromFirstRow };

struct ArrowRule {
    int key;
    FocusMove fromOkButton;
    FocusMove fromBackButton;
    FocusMove fromList;
};

constexpr std::array<ArrowRule, 4> kArrowRules{{
    {Qt::Key_Left, FocusMove::ToBackButton, FocusMove::ToOkButton, FocusMove::ToOkButton},
    {Qt::Key_Right, FocusMove::ToBackButton, FocusMove::ToOkButton, FocusMove::ToBackButton},
    {Qt::Key_Down, FocusMove::ToList, FocusMove::ToList, FocusMove::NoRule},
    {Qt::Key_Up, FocusMove::Stay, FocusMove::Stay, FocusMove::ToBackButtonFromFirstRow},
}};

// The list's icons by row kind: document, folder, folder with an up arrow.
int IconOf(RowKind kind) {
    switch (kind) {
        case RowKind::Up:
            return kFolderUpIcon;
        case RowKind::Folder:
            return kFolderIcon;
        case RowKind::File:
            break;
    }
    return kDocumentIcon;
}

RowKind KindOf(const QTreeWidgetItem& item) { return static_cast<RowKind>(item.data(0, Qt::UserRole).toInt()); }

// The folder above `folder`: the root view (the empty path) for a top-level folder, and also for
// a path without a backslash, which only a root view whose search failed can show.
std::u16string_view ParentFolder(std::u16string_view folder) {
    const std::size_t lastBackslash = folder.rfind(u'\\');
    return lastBackslash == std::u16string_view::npos ? std::u16string_view() : folder.substr(0, lastBackslash);
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

CFilePickerDialog::CFilePickerDialog(platform::Platform& platform, const UiStrings& strings, QWidget* parent)
    : QDialog(parent),
      platform_(platform),
      strings_(strings),
      m_okButton(new CFaceButton(this)),
      m_backButton(new CFaceButton(this)),
      m_fileList(new CColorListCtrl(this)),
      m_folderLabel(new CTransparentStatic(this)),
      fillTimer_(new QTimer(this)) {
    // Full screen without a caption; created in tab order: OK, back, list, label.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    m_okButton->setObjectName(QString::number(picker::kOkButton));
    m_backButton->setObjectName(QString::number(picker::kBackButton));
    m_fileList->setObjectName(QString::number(picker::kFileList));
    m_folderLabel->setObjectName(QString::number(picker::kFolderLabel));
    m_folderLabel->setFocusPolicy(Qt::NoFocus);
    ConnectMessageMap();
}

CFilePickerDialog::~CFilePickerDialog() = default;

void CFilePickerDialog::Create() { OnInitDialog(); }

int CFilePickerDialog::DoModal() {
    Create();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CFilePickerDialog::ConnectMessageMap() {
    connect(m_fileList, &QTreeWidget::itemDoubleClicked, this, &CFilePickerDialog::OnDblclkFileList);
    connect(m_okButton, &QPushButton::clicked, this, &CFilePickerDialog::OnOkButton);
    connect(m_backButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(fillTimer_, &QTimer::timeout, this, &CFilePickerDialog::OnFillTimer);
    ConnectSetFocus(*this, [this](QWidget* lostFocus) { OnSetFocus(lostFocus); });
    for (QWidget* control : std::initializer_list<QWidget*>{m_okButton, m_backButton, m_fileList}) {
        control->installEventFilter(this);
    }
}

void CFilePickerDialog::OnInitDialog() {
    m_folderLabel->clear();
    MakeFullScreen(*this, platform_.system);
    PlaceControls();
    InsertColumns();
    InitFileList(*m_fileList);
    const platform::ScreenSize screen = platform_.system.GetScreenSize();
    m_okButton->LoadFaces(kOkNormalFace, kOkPressedFace, kOkFocusFace, screen);
    m_backButton->LoadFaces(kBackNormalFace, kBackPressedFace, kBackFocusFace, screen);
    m_okButton->setFocus();
}

void CFilePickerDialog::PlaceControls() {
    const int width = this->width();
    const int height = this->height();
    m_backButton->setGeometry(width - 40, 2, 30, 28);
    m_okButton->setGeometry(width - 80, 2, 30, 28);
    m_fileList->setGeometry(1, 33, width - 2, height - 33);
    m_folderLabel->setGeometry(0, 3, width - 95, 28);
}

void CFilePickerDialog::InsertColumns() {
    const int scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // A screen too narrow for the scroll bar leaves the columns without width rather than negative.
    const int unit = std::max(0, (width() - scrollBarWidth - 2) / 5);
    m_fileList->InsertColumn(ToQString(strings_[UiStringId::ColumnName]), Qt::AlignLeft, 3 * unit);
    m_fileList->InsertColumn(ToQString(strings_[UiStringId::ColumnType]), Qt::AlignHCenter, unit);
    m_fileList->InsertColumn(ToQString(strings_[UiStringId::ColumnSize]), Qt::AlignHCenter, unit);
}

void CFilePickerDialog::InitFileList(CColorListCtrl& list) {
    // The list selects whole rows and draws its icons 32 pixels square by itself.
    for (const RowKind kind : {RowKind::Up, RowKind::Folder, RowKind::File}) {
        rowIcons_[kind] = ResourceIcon(IconOf(kind));
    }
    ShowFolder(list, kStartFolder);
}

void CFilePickerDialog::ShowFolder(CColorListCtrl& list, std::u16string_view path) {
    m_folderLabel->setText(ToQString(path));
    FillFileList(list, path);
    if (QTreeWidgetItem* first = list.topLevelItem(0)) {
        list.setCurrentItem(first, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void CFilePickerDialog::FillFileList(CColorListCtrl& list, std::u16string_view path) {
    platform_.system.DebugPrint(platform::Format(u"%s\n", path));
    list.clear();
    folderRows_ = 0;
    rowReader_ = std::make_unique<FolderRowReader>(
        FileListBuilder(platform_.fileSystem, platform_.registry, strings_, m_extensions), path);
    constexpr std::size_t kFirstScreenBatch = kFirstScreenEntries / 16;
    for (std::size_t examined = 0; examined < kFirstScreenEntries && list.topLevelItemCount() < kFirstScreenRows;
         examined += kFirstScreenBatch) {
        AddRows(list, kFirstScreenBatch);
    }
    list.clearSelection();
    if (rowReader_) {
        fillTimer_->start(0);
    } else {
        fillTimer_->stop();
    }
}

void CFilePickerDialog::AddRows(CColorListCtrl& list, std::size_t entries) {
    if (!rowReader_) {
        return;
    }
    FolderRowReader::Batch batch = rowReader_->Next(entries);
    list.insertTopLevelItems(folderRows_, MakeItems(batch.folders));
    folderRows_ += static_cast<int>(batch.folders.size());
    list.addTopLevelItems(MakeItems(batch.files));
    if (rowReader_->Done()) {
        rowReader_.reset();
        fillTimer_->stop();
    }
}

QList<QTreeWidgetItem*> CFilePickerDialog::MakeItems(const std::vector<FileRow>& rows) {
    QList<QTreeWidgetItem*> items;
    for (const FileRow& row : rows) {
        auto* item = new QTreeWidgetItem({ToQString(row.name), ToQString(row.type), ToQString(row.size)});
        item->setIcon(0, rowIcons_[row.kind]);
        item->setData(0, Qt::UserRole, static_cast<int>(row.kind));
        items.append(item);
    }
    return items;
}

void CFilePickerDialog::OnFillTimer() { AddRows(*m_fileList, kEntriesPerFill); }

void CFilePickerDialog::OnDblclkFileList() {
    if (QTreeWidgetItem* current = m_fileList->currentItem()) {
        ActOnRow(m_fileList->indexOfTopLevelItem(current));
    }
}

void CFilePickerDialog::ActOnRow(int row) {
    const QTreeWidgetItem& item = *m_fileList->topLevelItem(row);
    const std::u16string folder = CurrentFolder();
    switch (KindOf(item)) {
        case RowKind::File:
            OnOkButton();
            break;
        case RowKind::Folder:
            ShowFolder(*m_fileList, folder + u"\\" + item.text(0).toStdU16String());
            break;
        case RowKind::Up:
            ShowFolder(*m_fileList, ParentFolder(folder));
            break;
    }
}

void CFilePickerDialog::OnOkButton() {
    m_selectedPaths = platform::StringArray();
    const std::u16string prefix = CurrentFolder() + u"\\";
    for (int row = 0; row < m_fileList->topLevelItemCount(); ++row) {
        const QTreeWidgetItem& item = *m_fileList->topLevelItem(row);
        if (!item.isSelected()) {
            continue;
        }
        if (KindOf(item) != RowKind::File) {
            // The selected folder or Up row is acted on itself, so a picked file never leads back
            // here and the picker stays open in the new folder.
            ActOnRow(row);
            return;
        }
        m_selectedPaths.Append(prefix + item.text(0).toStdU16String());
    }
    accept();
}

void CFilePickerDialog::OnSetFocus(QWidget* lostFocus) {
    if (lostFocus) {
        lostFocus->setFocus();
    }
}

std::u16string CFilePickerDialog::CurrentFolder() const { return m_folderLabel->text().toStdU16String(); }

bool CFilePickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        return PreTranslateMessage(watched, static_cast<const QKeyEvent&>(*event));
    }
    return QDialog::eventFilter(watched, event);
}

bool CFilePickerDialog::PreTranslateMessage(QObject* target, const QKeyEvent& key) {
    if (IsEnter(key.key())) {
        // Enter never reaches the dialog's default button: it acts on the row, or clicks the
        // focused button once the key has been handled.
        if (target == m_fileList) {
            OnDblclkFileList();
        } else {
            PostClick(target);
        }
        return true;
    }
    return MoveFocusByArrow(target, key.key());
}

bool CFilePickerDialog::MoveFocusByArrow(QObject* target, int key) {
    const auto rule = std::find_if(kArrowRules.begin(), kArrowRules.end(),
                                   [key](const ArrowRule& candidate) { return candidate.key == key; });
    if (rule == kArrowRules.end()) {
        return false;
    }
    const FocusMove move = target == m_okButton     ? rule->fromOkButton
                           : target == m_backButton ? rule->fromBackButton
                                                    : rule->fromList;
    switch (move) {
        case FocusMove::NoRule:
            return false;
        case FocusMove::Stay:
            return true;
        case FocusMove::ToOkButton:
            m_okButton->setFocus();
            return true;
        case FocusMove::ToBackButton:
            m_backButton->setFocus();
            return true;
        case FocusMove::ToList:
            m_fileList->setFocus();
            return true;
        case FocusMove::ToBackButtonFromFirstRow:
            if (!m_fileList->currentItem() || m_fileList->currentItem() != m_fileList->topLevelItem(0)) {
                return false;
            }
            m_backButton->setFocus();
            return true;
    }
    return false;
}

}  // namespace velkor::ui
