#pragma once

#include "platform/BitmapLoader.h"

#include <QImage>

#include <utility>

namespace velkor::shared {

// A decoded bitmap; its pixels are released with the object.
class QtBitmap : public platform::Bitmap {
public:
    explicit QtBitmap(QImage image) : image_(std::move(image)) {}

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }

private:
    QImage image_;
};

}  // namespace velkor::shared
