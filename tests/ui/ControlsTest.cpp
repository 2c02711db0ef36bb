#include "ui/UiResources.h"
#include "ui/controls/CColorListCtrl.h"
#include "ui/controls/CFaceButton.h"
#include "ui/controls/CTransparentStatic.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <utility>

namespace velkor::ui {
namespace {

constexpr QRgb kBeige = qRgb(239, 235, 222);
constexpr QRgb kSelection = qRgb(11, 75, 119);

QImage Shot(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// A shown, active window with a second control to take the focus away from the one tested.
struct ActiveWindow {
    ActiveWindow() {
        window.resize(400, 300);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    QWidget window;
    QPushButton other{&window};
};

TEST(ResourcesTest, EachIdentifierLoadsAsItsKindOnly) {
    for (const int id : {kFolderIcon, kFolderUpIcon, kDocumentIcon}) {
        const QImage icon = ResourceIcon(id).pixmap(32, 32).toImage();
        EXPECT_EQ(ResourceIcon(id).availableSizes(), QList<QSize>{QSize(32, 32)}) << id;
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << id;
        EXPECT_EQ(qAlpha(icon.pixel(16, 20)), 255) << id;
        EXPECT_TRUE(ResourceBitmap(id).isNull()) << id;
    }
    for (const int id : {kOkFocusFace, kOkNormalFace, kOkPressedFace, kBackFocusFace, kBackNormalFace,
                         kBackPressedFace}) {
        EXPECT_EQ(ResourceBitmap(id).size(), QSize(30, 30)) << id;
        EXPECT_EQ(QImage(QStringLiteral(":/bitmaps/%1.bmp").arg(id)).depth(), 8) << id;
        EXPECT_TRUE(ResourceIcon(id).isNull()) << id;
    }
    EXPECT_TRUE(ResourceIcon(128).isNull());
    EXPECT_TRUE(ResourceBitmap(138).isNull());
}

struct FaceCase {
    const char* name;
    bool focus;
    bool pressed;
    int expectedFace;
};

class FaceButtonFaceTest : public testing::TestWithParam<FaceCase> {};

TEST_P(FaceButtonFaceTest, ShowsTheFaceOfItsState) {
    ActiveWindow active;
    CFaceButton button(&active.window);
    button.LoadFaces(kOkNormalFace, kOkPressedFace, kOkFocusFace, {240, 320});
    button.show();
    (GetParam().focus ? static_cast<QWidget&>(button) : active.other).setFocus();
    button.setDown(GetParam().pressed);
    ASSERT_EQ(button.hasFocus(), GetParam().focus);
    EXPECT_EQ(Shot(button), ResourceBitmap(GetParam().expectedFace).toImage().convertToFormat(QImage::Format_RGB32));
}

INSTANTIATE_TEST_SUITE_P(States, FaceButtonFaceTest,
                         testing::Values(FaceCase{"Idle", false, false, kOkNormalFace},
                                         FaceCase{"HeldWithoutFocus", false, true, kOkNormalFace},
                                         FaceCase{"Focused", true, false, kOkFocusFace},
                                         FaceCase{"FocusedAndHeld", true, true, kOkPressedFace}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FaceButtonTest, TakesTheNormalFaceSizeWiderOnlyOnAWideLowScreen) {
    const struct {
        platform::ScreenSize screen;
        QSize size;
    } cases[] = {{{240, 320}, {30, 30}}, {{640, 480}, {30, 30}}, {{400, 240}, {30, 30}},
                 {{480, 250}, {30, 30}}, {{800, 240}, {34, 30}}, {{480, 240}, {34, 30}}};
    for (const auto& [screen, size] : cases) {
        CFaceButton button;
        button.move(7, 9);
        button.LoadFaces(kBackNormalFace, kBackPressedFace, kBackFocusFace, screen);
        EXPECT_EQ(button.geometry(), QRect(QPoint(7, 9), size)) << screen.width << "x" << screen.height;
    }
    EXPECT_FALSE(CFaceButton().autoDefault());
}

// The smallest rectangle around the pixels that `inked` picks; null when it picks none.
QRect InkBounds(const QImage& image, const std::function<bool(QRgb)>& inked) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            bounds |= inked(image.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return bounds;
}

TEST(TransparentStaticTest, PaintsBeigeAndOneLineOfNarrowBlueTextCutAtTheRight) {
    const struct {
        QString text;
        int minRight;
        int maxRight;
    } cases[] = {
        {QString(), -1, -1},
        // Twenty letters at about five pixels each.
        {QStringLiteral("abcdefghijklmnopqrst"), 70, 130},
        {QStringLiteral("A file name far too long for the label it is shown in ").repeated(4), 185, 199},
    };
    for (const auto& [text, minRight, maxRight] : cases) {
        SCOPED_TRACE(text.size());
        CTransparentStatic label;
        label.resize(200, 60);
        label.setText(text);
        const QImage image = Shot(label);
        const QRect ink = InkBounds(image, [](QRgb pixel) { return pixel != kBeige; });
        const QRect blue = InkBounds(image, [](QRgb pixel) { return qBlue(pixel) > 200 && qRed(pixel) < 60; });
        EXPECT_GE(ink.right(), minRight);
        EXPECT_LE(ink.right(), maxRight);
        EXPECT_EQ(blue.isNull(), text.isEmpty());
        if (!text.isEmpty()) {
            // One line of 18-pixel characters around the middle row, however long the text.
            EXPECT_GE(ink.top(), 30 - 13);
            EXPECT_LE(ink.bottom(), 30 + 13);
        }
    }
}

enum class ListFocus { List, OtherControl, OtherWindow };
constexpr const char* kListFocusNames[] = {"List", "OtherControl", "OtherWindow"};

class ColorListCtrlTest : public testing::TestWithParam<ListFocus> {};

TEST_P(ColorListCtrlTest, PaintsTheSelectedRowsDarkBlueAndLeavesTheSelectionAlone) {
    ActiveWindow active;
    CColorListCtrl list(&active.window);
    list.resize(360, 200);
    list.InsertColumn(QStringLiteral("Name"), Qt::AlignLeft, 120);
    const int size = list.InsertColumn(QStringLiteral("Size"), Qt::AlignRight, 120);
    list.InsertColumn(QStringLiteral("Type"), Qt::AlignLeft, 80);
    for (const QString& name : {QStringLiteral("boot"), QStringLiteral("os"), QStringLiteral("logo")}) {
        auto* row = new QTreeWidgetItem(&list, {name, QStringLiteral("12"), QStringLiteral("File")});
        row->setIcon(0, ResourceIcon(kDocumentIcon));
    }
    list.show();
    // Rows 0 and 2 as the operator picks them: a click on the first, a control-click on the other.
    for (const auto& [row, modifiers] : {std::pair(0, Qt::NoModifier), std::pair(2, Qt::ControlModifier)}) {
        const QPoint name = list.visualItemRect(list.topLevelItem(row)).topLeft() + QPoint(40, 8);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, name);
    }
    QWidget second;
    switch (GetParam()) {
        case ListFocus::List: list.setFocus(); break;
        case ListFocus::OtherControl: active.other.setFocus(); break;
        case ListFocus::OtherWindow:
            second.show();
            second.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
            break;
    }
    const QImage image = Shot(list);
    const QPoint origin = list.viewport()->mapTo(&list, QPoint());
    for (int row = 0; row < 3; ++row) {
        const QRect rect = list.visualItemRect(list.topLevelItem(row)).translated(origin);
        EXPECT_GE(rect.height(), 32);
        EXPECT_EQ(image.pixel(rect.right() - 2, rect.center().y()) == kSelection, row != 1) << row;
    }
    // The right-aligned column's text, white on the selection, sits in the right half of its cell.
    const QRect cell = list.visualRect(list.model()->index(0, size)).translated(origin);
    const QRect white = InkBounds(image.copy(cell), [](QRgb pixel) { return qGray(pixel) > 200; });
    EXPECT_GT(white.left(), cell.width() / 2);
    const QList<QTreeWidgetItem*> selected = list.selectedItems();
    EXPECT_EQ(std::set(selected.begin(), selected.end()), std::set({list.topLevelItem(0), list.topLevelItem(2)}));
}

INSTANTIATE_TEST_SUITE_P(Focus, ColorListCtrlTest,
                         testing::Values(ListFocus::List, ListFocus::OtherControl, ListFocus::OtherWindow),
                         [](const auto& info) { return std::string(kListFocusNames[std::size_t(info.param)]); });

}  // namespace
}  // namespace velkor::ui
