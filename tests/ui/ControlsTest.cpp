#include "ui/UiResources.h"

#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

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

}  // namespace
}  // namespace velkor::ui
