// Draws the file picker's list icons and button faces into a folder for the resource compiler:
// icons/<id>.png and bitmaps/<id>.bmp. Shapes only, no text, so the images come out the same
// on every machine, and QtGui's raster painter needs no display or application object.

#include "ui/UiResources.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <fmt/core.h>

#include <array>

namespace {

using namespace velkor::ui;

constexpr QSize kIconSize(32, 32);
constexpr QSize kFaceSize(30, 30);
// The picker's background, which shows around a tile's rounded corners.
constexpr QRgb kBackground = qRgb(239, 235, 222);
// Antialiased edges blend two colours; the faces' palette holds this many steps between each pair.
constexpr int kBlendSteps = 8;

QPen RoundPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawFolder(QPainter& painter) {
    painter.setPen(RoundPen(QColor(150, 110, 0), 1));
    // The back with its tab, then the front lower down, so the folder reads as open.
    const QPolygonF back{{2.5, 6.5}, {11.5, 6.5}, {14.5, 9.5}, {29.5, 9.5}, {29.5, 27.5}, {2.5, 27.5}};
    painter.setBrush(QColor(225, 175, 30));
    painter.drawPolygon(back);
    painter.setBrush(QColor(255, 215, 60));
    painter.drawRect(QRectF(2.5, 13.5, 27, 14));
}

void DrawFolderUp(QPainter& painter) {
    DrawFolder(painter);
    const QColor arrow(30, 120, 40);
    painter.setPen(RoundPen(arrow, 3));
    painter.drawLine(QLineF(16, 25, 16, 14));
    painter.setPen(RoundPen(arrow, 1));
    painter.setBrush(arrow);
    painter.drawPolygon(QPolygonF{{10.5, 15.5}, {16, 9}, {21.5, 15.5}});
}

void DrawDocument(QPainter& painter) {
    painter.setPen(RoundPen(QColor(110, 110, 110), 1));
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF{{5.5, 1.5}, {20.5, 1.5}, {26.5, 7.5}, {26.5, 30.5}, {5.5, 30.5}});
    painter.setBrush(QColor(215, 215, 215));
    painter.drawPolygon(QPolygonF{{20.5, 1.5}, {20.5, 7.5}, {26.5, 7.5}});
    painter.setPen(RoundPen(QColor(165, 165, 165), 1));
    for (const qreal y : {12.5, 16.5, 20.5, 24.5}) {
        painter.drawLine(QLineF(9.5, y, 22.5, y));
    }
}

void DrawOkLetters(QPainter& painter, const QColor& colour) {
    painter.setPen(RoundPen(colour, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(9.5, 15), 4.25, 6.5);
    // The K: its stem, the upper arm into the stem's middle, the lower arm off the upper one.
    for (const QLineF& stroke : {QLineF(17, 8.5, 17, 21.5), QLineF(24, 8.5, 17.5, 15), QLineF(19.5, 13.5, 24, 21.5)}) {
        painter.drawLine(stroke);
    }
}

void DrawBackArrow(QPainter& painter, const QColor& colour) {
    // The shaft rises from the lower right and bends left into a head that points up.
    QPainterPath shaft(QPointF(22, 24));
    shaft.cubicTo(22, 15, 11, 21, 11, 12);
    painter.setPen(RoundPen(colour, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shaft);
    painter.setPen(RoundPen(colour, 1));
    painter.setBrush(colour);
    painter.drawPolygon(QPolygonF{{5, 13}, {11, 5.5}, {17, 13}});
}

struct Icon {
    int id;
    void (*draw)(QPainter&);
};

constexpr std::array kIcons{
    Icon{kFolderIcon, DrawFolder},
    Icon{kFolderUpIcon, DrawFolderUp},
    Icon{kDocumentIcon, DrawDocument},
};

struct Face {
    int id;
    QRgb tile;
    QRgb glyph;
    void (*drawGlyph)(QPainter&, const QColor&);
};

constexpr QRgb kBeige = qRgb(232, 214, 172);
constexpr QRgb kLilac = qRgb(204, 186, 232);
constexpr QRgb kGrey = qRgb(160, 160, 160);
constexpr QRgb kOrange = qRgb(255, 128, 0);

constexpr std::array kFaces{
    Face{kOkNormalFace, kBeige, qRgb(205, 20, 20), DrawOkLetters},
    Face{kOkFocusFace, kLilac, kOrange, DrawOkLetters},
    Face{kOkPressedFace, kGrey, qRgb(64, 64, 64), DrawOkLetters},
    Face{kBackNormalFace, kBeige, qRgb(228, 72, 16), DrawBackArrow},
    Face{kBackFocusFace, kLilac, kOrange, DrawBackArrow},
    Face{kBackPressedFace, kGrey, qRgb(0, 140, 40), DrawBackArrow},
};

QColor TileBorder(QRgb tile) { return QColor(tile).darker(140); }

QImage Paint(QSize size, QImage::Format format, const QColor& fill, const auto& draw) {
    QImage image(size, format);
    image.fill(fill);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

void DrawFace(QPainter& painter, const Face& face) {
    painter.setPen(RoundPen(TileBorder(face.tile), 1));
    painter.setBrush(QColor(face.tile));
    painter.drawRoundedRect(QRectF(QPointF(0.5, 0.5), kFaceSize - QSizeF(1, 1)), 6, 6);
    face.drawGlyph(painter, QColor(face.glyph));
}

void AddBlends(QList<QRgb>& palette, const QColor& from, const QColor& to) {
    for (int step = 0; step <= kBlendSteps; ++step) {
        const auto mix = [step](int a, int b) { return a + (b - a) * step / kBlendSteps; };
        const QRgb colour = qRgb(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
        if (!palette.contains(colour)) {
            palette.append(colour);
        }
    }
}

// One colour table for every face, fixed by the table above rather than by what was drawn:
// each face's exact colours and the blends its antialiased edges need.
QList<QRgb> FacePalette() {
    QList<QRgb> palette;
    for (const Face& face : kFaces) {
        AddBlends(palette, QColor(kBackground), TileBorder(face.tile));
        AddBlends(palette, TileBorder(face.tile), QColor(face.tile));
        AddBlends(palette, QColor(face.tile), QColor(face.glyph));
    }
    return palette;
}

bool Save(const QImage& image, const QString& path, const char* format) {
    if (image.save(path, format)) {
        return true;
    }
    fmt::print(stderr, "cannot write {}\n", path.toStdString());
    return false;
}

bool SaveIcons(const QString& folder) {
    for (const Icon& icon : kIcons) {
        const QImage image = Paint(kIconSize, QImage::Format_ARGB32, Qt::transparent, icon.draw);
        if (!Save(image, QStringLiteral("%1/icons/%2.png").arg(folder).arg(icon.id), "PNG")) {
            return false;
        }
    }
    return true;
}

bool SaveFaces(const QString& folder) {
    const QList<QRgb> palette = FacePalette();
    for (const Face& face : kFaces) {
        const QImage image = Paint(kFaceSize, QImage::Format_RGB32, QColor(kBackground),
                                   [&face](QPainter& painter) { DrawFace(painter, face); });
        const QString path = QStringLiteral("%1/bitmaps/%2.bmp").arg(folder).arg(face.id);
        if (!Save(image.convertToFormat(QImage::Format_Indexed8, palette), path, "BMP")) {
            return false;
        }
        // The device reads these as 8-bit bitmaps; make sure Qt wrote them that way.
        if (QImage(path).depth() != 8) {
            fmt::print(stderr, "{} did not come back as 8 bits per pixel\n", path.toStdString());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fmt::print(stderr, "usage: {} <output folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QDir root(folder);
    if (!root.mkpath(QStringLiteral("icons")) || !root.mkpath(QStringLiteral("bitmaps"))) {
        fmt::print(stderr, "cannot make the folders under {}\n", argv[1]);
        return 1;
    }
    if (!SaveIcons(folder)) {
        return 1;
    }
    return SaveFaces(folder) ? 0 : 1;
}
