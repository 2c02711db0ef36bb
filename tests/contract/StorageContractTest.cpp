#include "contract/StorageRigs.h"
#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "platform/ErrorCodes.h"

#include <fmt/ranges.h>

#include <functional>
#include <set>

namespace velkor::test {
namespace {

// What the update's format asks for: 2048-byte clusters, 512 root entries, FAT12, 2 FATs, full and
// transaction-safe.
constexpr platform::FormatOptions kUpdateFormat{2048, 512, 12, 2,
                                                platform::kFormatFull | platform::kFormatTransactionSafeFat};

// Calls the storage manager, the format library and the file system, answering each call as text:
// what it gave, or that it failed and the last error then ("null error 2").
class StorageProbe {
public:
    explicit StorageProbe(StorageRig& rig) : rig_(rig) {}

    std::string Stores() {
        platform::StoreInfo store;
        std::unique_ptr<platform::StoreSearch> search = rig_.Storage().FindFirstStore(store);
        if (!search) {
            return Failed("none");
        }
        Lines found;
        for (bool more = true; more; more = search->FindNext(store)) {
            found.push_back(platform::ToUtf8(store.deviceName + u" " + store.profile));
        }
        return Listed(found);
    }
    std::string OpenStore(std::u16string_view deviceName) {
        partition_.reset();
        store_ = rig_.Storage().OpenStore(deviceName);
        return store_ ? "store" : Failed("null");
    }
    std::string Partitions() {
        platform::PartitionInfo partition;
        std::unique_ptr<platform::PartitionSearch> search = store_->FindFirstPartition(partition);
        if (!search) {
            return Failed("none");
        }
        Lines found;
        for (bool more = true; more; more = search->FindNext(partition)) {
            found.push_back(platform::ToUtf8(partition.partitionName + u" " + partition.volumeName));
        }
        return Listed(found);
    }
    std::string OpenPartition(std::u16string_view name) {
        partition_ = store_->OpenPartition(name);
        return partition_ ? "partition" : Failed("null");
    }
    std::string Dismount() { return Done(partition_->Dismount()); }
    std::string Mount() { return Done(partition_->Mount()); }
    // Formats the open partition with the disk information it gives.
    std::string Format() {
        platform::DiskInfo disk{};
        std::uint32_t returned = 0;
        if (partition_->Control(platform::DISK_IOCTL_GETINFO, disk.data(), disk.size(), disk.data(), disk.size(),
                                &returned) == 0) {
            return Failed("no disk information");
        }
        const std::unique_ptr<platform::LoadedLibrary> library = rig_.Formats().LoadLibrary(u"FATUTIL.dll");
        const platform::FormatVolumeEntry format = library->FindFormatVolume(u"FormatVolume");
        const std::uint32_t result = format(*partition_, disk, kUpdateFormat);
        return result == platform::error::kSuccess ? "formatted" : Failed(fmt::format("{}", result));
    }
    std::string Load(std::u16string_view library) {
        library_ = rig_.Formats().LoadLibrary(library);
        return library_ ? "loaded" : Failed("null");
    }
    std::string Entry(std::u16string_view name) {
        return library_->FindFormatVolume(name) ? "entry" : Failed("none");
    }
    // What the file system shows of a volume's folder: its entries in name order.
    std::string Folder(std::u16string_view pattern) {
        platform::FindData entry;
        std::unique_ptr<platform::FolderSearch> search = rig_.Files().FindFirstFile(pattern, entry);
        if (!search) {
            return Failed("none");
        }
        std::set<std::string> names;
        for (bool more = true; more; more = search->FindNext(entry)) {
            names.insert(platform::ToUtf8(entry.name));
        }
        return fmt::format("{}", fmt::join(names, " "));
    }

private:
    std::string Listed(const Lines& found) {
        return fmt::format("{}; then error {}", fmt::join(found, ", "), rig_.LastError());
    }
    std::string Done(bool done) { return done ? "1" : Failed("0"); }
    std::string Failed(std::string_view what) { return FailedAnswer(what, rig_.LastError()); }

    StorageRig& rig_;
    std::unique_ptr<platform::Store> store_;
    std::unique_ptr<platform::Partition> partition_;
    std::unique_ptr<platform::LoadedLibrary> library_;
};

struct StorageCase {
    const char* name;
    Arrangements needs;
    std::function<Lines(StorageProbe&)> calls;
    Lines answers;
};

class StorageContract : public ContractSuite<StorageRig, StorageCase> {};

TEST_P(StorageContract, AnswersAsTheDeviceDoes) {
    const auto& [maker, c] = GetParam();
    const std::unique_ptr<StorageRig> rig = maker.make(c.needs);
    if (!rig->Unavailable().empty()) {
        GTEST_SKIP() << rig->Unavailable();
    }
    StorageProbe probe(*rig);

    EXPECT_EQ(c.calls(probe), c.answers);
}

const StorageCase kCases[] = {
    {"WhatIsNotThereDoesNotOpenOrLoad", 0,
     [](StorageProbe& p) { return Lines{p.OpenStore(u"DSK9:"), p.Load(u"nothing.dll")}; },
     {"null error 2", "null error 126"}},
    {"StoresAndPartitionsAreListed", kStore,
     [](StorageProbe& p) {
         return Lines{p.Stores(), p.OpenStore(u"dsk2:"), p.Partitions(), p.OpenPartition(u"Part09")};
     },
     {"DSK2: BinFLASH; then error 259", "store", "Part00 \\VKRFlash; then error 259", "null error 2"}},
    {"ADismountedVolumeIsAbsentUntilItIsMountedAgain", kStore,
     [](StorageProbe& p) {
         return Lines{p.OpenStore(u"DSK2:"), p.OpenPartition(u"PART00"), p.Dismount(), p.Folder(u"\\VKRFlash\\*.*"),
                      p.Mount(), p.Mount(), p.Folder(u"\\VKRFlash\\*.*")};
     },
     // A mount makes the storage manager's own folder when it is missing.
     {"store", "partition", "1", "none error 3", "1", "1", "$MSD$ old.txt"}},
    {"AMountThatDidNotHappenFailsAndTheVolumeStaysAbsent", kStore | kMountThatDoesNothing,
     [](StorageProbe& p) {
         return Lines{p.OpenStore(u"DSK2:"), p.OpenPartition(u"Part00"), p.Dismount(), p.Mount(),
                      p.Folder(u"\\VKRFlash\\*.*")};
     },
     {"store", "partition", "1", "0 error 21", "none error 3"}},
    {"AMountedVolumeIsNotFormatted", kStore,
     [](StorageProbe& p) {
         return Lines{p.OpenStore(u"DSK2:"), p.OpenPartition(u"Part00"), p.Format(), p.Folder(u"\\VKRFlash\\*.*")};
     },
     {"store", "partition", "32 error 32", "old.txt"}},
    {"AFormatEmptiesTheVolumeAndTheMountGivesItItsStoreFolder", kStore,
     [](StorageProbe& p) {
         return Lines{p.OpenStore(u"DSK2:"), p.OpenPartition(u"Part00"), p.Dismount(), p.Format(), p.Mount(),
                      p.Folder(u"\\VKRFlash\\*.*")};
     },
     {"store", "partition", "1", "formatted", "1", "$MSD$"}},
    {"TheFormatLibraryHasOnlyFormatVolume", kStore,
     [](StorageProbe& p) { return Lines{p.Load(u"fatutil.DLL"), p.Entry(u"FormatVolume"), p.Entry(u"Other")}; },
     {"loaded", "entry", "none error 127"}},
};

INSTANTIATE_TEST_SUITE_P(Implementations, StorageContract,
                         ::testing::ValuesIn(StorageContract::Pairings(StorageRigs(), kCases)), StorageContract::Name);

}  // namespace
}  // namespace velkor::test
