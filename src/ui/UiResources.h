#pragma once

#include <QIcon>
#include <QPixmap>

namespace velkor::ui {

// The file picker's list icons, 32 x 32 with transparency (icons/<id>.png in the resources).
inline constexpr int kFolderIcon = 129;
inline constexpr int kFolderUpIcon = 130;
inline constexpr int kDocumentIcon = 131;

// The picker's button faces, 30 x 30 at 8 bits per pixel (bitmaps/<id>.bmp in the resources).
inline constexpr int kOkFocusFace = 132;
inline constexpr int kOkNormalFace = 133;
inline constexpr int kOkPressedFace = 134;
inline constexpr int kBackFocusFace = 135;
inline constexpr int kBackNormalFace = 136;
inline constexpr int kBackPressedFace = 137;

// The icon with this identifier; null when there is none.
QIcon ResourceIcon(int id);
// The bitmap with this identifier; null when there is none.
QPixmap ResourceBitmap(int id);

}  // namespace velkor::ui
