#pragma once

#include "platform/BitmapLoader.h"
#include "platform/DeviceIo.h"
#include "platform/FormatLibrary.h"
#include "platform/StorageManager.h"

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

// A storage manager without stores.
class FakeStorageManager : public platform::StorageManager {
public:
    std::unique_ptr<platform::StoreSearch> FindFirstStore(platform::StoreInfo&) override { return nullptr; }
    std::unique_ptr<platform::Store> OpenStore(std::u16string_view) override { return nullptr; }
};

// No library loads.
class FakeFormatLibrary : public platform::FormatLibrary {
public:
    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view) override { return nullptr; }
};

}  // namespace velkor::test
