#pragma once

#include "platform/BitmapLoader.h"
#include "platform/DeviceIo.h"
#include "platform/ErrorCodes.h"
#include "platform/FormatLibrary.h"
#include "platform/StorageManager.h"
#include "support/FakeLastError.h"

namespace velkor::test {

// A device without drivers: every open fails as for a missing device.
class FakeDeviceIo : public platform::DeviceIo, public FakeLastError {
public:
    using FakeLastError::FakeLastError;

    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view, std::uint32_t, std::uint32_t) override {
        errors_.Fail(platform::error::kFileNotFound);
        return nullptr;
    }
};

// A shell that loads no bitmap.
class FakeBitmapLoader : public platform::BitmapLoader {
public:
    std::unique_ptr<platform::Bitmap> LoadDIBitmap(std::u16string_view) override { return nullptr; }
};

// A storage manager without stores.
class FakeStorageManager : public platform::StorageManager, public FakeLastError {
public:
    using FakeLastError::FakeLastError;

    std::unique_ptr<platform::StoreSearch> FindFirstStore(platform::StoreInfo&) override {
        errors_.Fail(platform::error::kNoMoreItems);
        return nullptr;
    }
    std::unique_ptr<platform::Store> OpenStore(std::u16string_view) override {
        errors_.Fail(platform::error::kFileNotFound);
        return nullptr;
    }
};

// No library loads.
class FakeFormatLibrary : public platform::FormatLibrary, public FakeLastError {
public:
    using FakeLastError::FakeLastError;

    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view) override {
        errors_.Fail(platform::error::kModuleNotFound);
        return nullptr;
    }
};

}  // namespace velkor::test
