#pragma once

#include "platform/BitmapLoader.h"
#include "platform/DeviceIo.h"

namespace velkor::test {

// A device without drivers: every open fails as for a missing device.
class FakeDeviceIo : public platform::DeviceIo {
public:
    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view, std::uint32_t, std::uint32_t) override {
        return nullptr;
    }
};

// A shell that loads no bitmap.
class FakeBitmapLoader : public platform::BitmapLoader {
public:
    std::unique_ptr<platform::Bitmap> LoadDIBitmap(std::u16string_view) override { return nullptr; }
};

}  // namespace velkor::test
