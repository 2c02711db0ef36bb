#include "support/HandleCountingPlatform.h"

namespace velkor::test {
namespace {

using Ticket = HandleCountingPlatform::Ticket;

template <typename Counted, typename Inner>
std::unique_ptr<Counted> Count(HandleCountingPlatform& owner, std::unique_ptr<Inner> inner) {
    return inner ? std::make_unique<Counted>(owner, std::move(inner)) : nullptr;
}

class CountedDevice : public platform::DeviceHandle {
public:
    CountedDevice(HandleCountingPlatform& owner, std::unique_ptr<platform::DeviceHandle> inner)
        : ticket_(owner), inner_(std::move(inner)) {}

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                std::uint32_t outputSize, std::uint32_t* bytesReturned) override {
        return inner_->Control(code, input, inputSize, output, outputSize, bytesReturned);
    }

private:
    Ticket ticket_;
    std::unique_ptr<platform::DeviceHandle> inner_;
};

class CountedPartition : public platform::Partition {
public:
    CountedPartition(HandleCountingPlatform& owner, std::unique_ptr<platform::Partition> inner)
        : ticket_(owner), inner_(std::move(inner)) {}

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                std::uint32_t outputSize, std::uint32_t* bytesReturned) override {
        return inner_->Control(code, input, inputSize, output, outputSize, bytesReturned);
    }
    bool Dismount() override { return inner_->Dismount(); }
    bool Mount() override { return inner_->Mount(); }
    platform::Partition& Inner() { return *inner_; }

private:
    Ticket ticket_;
    std::unique_ptr<platform::Partition> inner_;
};

template <typename Search, typename Info>
class CountedSearch : public Search {
public:
    CountedSearch(HandleCountingPlatform& owner, std::unique_ptr<Search> inner)
        : ticket_(owner), inner_(std::move(inner)) {}

    bool FindNext(Info& info) override { return inner_->FindNext(info); }

private:
    Ticket ticket_;
    std::unique_ptr<Search> inner_;
};

using CountedStoreSearch = CountedSearch<platform::StoreSearch, platform::StoreInfo>;
using CountedPartitionSearch = CountedSearch<platform::PartitionSearch, platform::PartitionInfo>;

class CountedStore : public platform::Store {
public:
    CountedStore(HandleCountingPlatform& owner, std::unique_ptr<platform::Store> inner)
        : ticket_(owner), inner_(std::move(inner)) {}

    std::unique_ptr<platform::PartitionSearch> FindFirstPartition(platform::PartitionInfo& first) override {
        return Count<CountedPartitionSearch>(ticket_.Owner(), inner_->FindFirstPartition(first));
    }
    std::unique_ptr<platform::Partition> OpenPartition(std::u16string_view name) override {
        return Count<CountedPartition>(ticket_.Owner(), inner_->OpenPartition(name));
    }

private:
    Ticket ticket_;
    std::unique_ptr<platform::Store> inner_;
};

class CountedLibrary : public platform::LoadedLibrary {
public:
    CountedLibrary(HandleCountingPlatform& owner, std::unique_ptr<platform::LoadedLibrary> inner)
        : ticket_(owner), inner_(std::move(inner)) {}

    // The inner library knows only its own partitions, so the counted one is unwrapped.
    platform::FormatVolumeEntry FindFormatVolume(std::u16string_view name) override {
        platform::FormatVolumeEntry entry = inner_->FindFormatVolume(name);
        if (!entry) {
            return entry;
        }
        return [entry](platform::Partition& partition, const platform::DiskInfo& disk,
                       const platform::FormatOptions& options) {
            return entry(static_cast<CountedPartition&>(partition).Inner(), disk, options);
        };
    }

private:
    Ticket ticket_;
    std::unique_ptr<platform::LoadedLibrary> inner_;
};

}  // namespace

class HandleCountingPlatform::CountingDeviceIo : public platform::DeviceIo {
public:
    CountingDeviceIo(HandleCountingPlatform& owner, platform::DeviceIo& inner) : owner_(owner), inner_(inner) {}

    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view path, std::uint32_t access,
                                                       std::uint32_t shareMode) override {
        return Count<CountedDevice>(owner_, inner_.OpenDevice(path, access, shareMode));
    }

private:
    HandleCountingPlatform& owner_;
    platform::DeviceIo& inner_;
};

class HandleCountingPlatform::CountingStorageManager : public platform::StorageManager {
public:
    CountingStorageManager(HandleCountingPlatform& owner, platform::StorageManager& inner)
        : owner_(owner), inner_(inner) {}

    std::unique_ptr<platform::StoreSearch> FindFirstStore(platform::StoreInfo& first) override {
        return Count<CountedStoreSearch>(owner_, inner_.FindFirstStore(first));
    }
    std::unique_ptr<platform::Store> OpenStore(std::u16string_view deviceName) override {
        return Count<CountedStore>(owner_, inner_.OpenStore(deviceName));
    }

private:
    HandleCountingPlatform& owner_;
    platform::StorageManager& inner_;
};

class HandleCountingPlatform::CountingFormatLibrary : public platform::FormatLibrary {
public:
    CountingFormatLibrary(HandleCountingPlatform& owner, platform::FormatLibrary& inner)
        : owner_(owner), inner_(inner) {}

    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view name) override {
        return Count<CountedLibrary>(owner_, inner_.LoadLibrary(name));
    }

private:
    HandleCountingPlatform& owner_;
    platform::FormatLibrary& inner_;
};

HandleCountingPlatform::HandleCountingPlatform(platform::Platform& inner)
    : deviceIo_(std::make_unique<CountingDeviceIo>(*this, inner.deviceIo)),
      storageManager_(std::make_unique<CountingStorageManager>(*this, inner.storageManager)),
      formatLibrary_(std::make_unique<CountingFormatLibrary>(*this, inner.formatLibrary)),
      platform_{inner.registry,     inner.fileSystem,  inner.system,    *deviceIo_,
                inner.bitmapLoader, *storageManager_, *formatLibrary_, inner.windows,
                inner.trust} {}

HandleCountingPlatform::~HandleCountingPlatform() = default;

}  // namespace velkor::test
