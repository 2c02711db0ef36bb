#pragma once

#include "platform/DeviceIo.h"

#include <memory>
#include <string>
#include <string_view>

namespace velkor::platform {

// What a store search reports of a store.
struct StoreInfo {
    std::u16string deviceName;  // "DSK2:"
    std::u16string profile;     // the storage-manager profile, "BinFLASH"
};

// What a partition search reports of a partition.
struct PartitionInfo {
    std::u16string partitionName;  // "Part00"
    std::u16string volumeName;     // where it is mounted, "\VKRFlash"
};

// An open partition; destroying the object closes it. Disk control codes go to it directly.
class Partition : public DeviceHandle {
public:
    // Takes the partition's volume out of the file system; false with the last error set.
    virtual bool Dismount() = 0;
    // Puts it back; false with the last error set.
    virtual bool Mount() = 0;
};

// A running partition search; destroying the object ends it.
class PartitionSearch {
public:
    virtual ~PartitionSearch() = default;

    // The next partition; false with kNoMoreItems after the last one.
    virtual bool FindNext(PartitionInfo& partition) = 0;
};

// An open store; destroying the object closes it. Its searches and partitions must go first.
class Store {
public:
    virtual ~Store() = default;

    // Starts a search over the store's partitions with the first one; null with the last error set.
    virtual std::unique_ptr<PartitionSearch> FindFirstPartition(PartitionInfo& first) = 0;
    // Null with the last error set.
    virtual std::unique_ptr<Partition> OpenPartition(std::u16string_view partitionName) = 0;
};

// A running store search; destroying the object ends it.
class StoreSearch {
public:
    virtual ~StoreSearch() = default;

    // The next store; false with kNoMoreItems after the last one.
    virtual bool FindNext(StoreInfo& store) = 0;
};

// The device's storage manager: its stores (disks) and their partitions.
class StorageManager {
public:
    virtual ~StorageManager() = default;

    // Starts a search over the stores with the first one; null with the last error set.
    virtual std::unique_ptr<StoreSearch> FindFirstStore(StoreInfo& first) = 0;
    // Opens a store by its device name; null with the last error set.
    virtual std::unique_ptr<Store> OpenStore(std::u16string_view deviceName) = 0;
};

}  // namespace velkor::platform
