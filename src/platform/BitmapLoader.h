#pragma once

#include <memory>
#include <string_view>

namespace velkor::platform {

// A bitmap loaded into memory; destroying the object releases it.
class Bitmap {
public:
    virtual ~Bitmap() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// The shell's loader of device-independent bitmap files.
class BitmapLoader {
public:
    virtual ~BitmapLoader() = default;

    // Null when the file does not exist or is not a loadable Windows bitmap.
    virtual std::unique_ptr<Bitmap> LoadDIBitmap(std::u16string_view path) = 0;
};

}  // namespace velkor::platform
