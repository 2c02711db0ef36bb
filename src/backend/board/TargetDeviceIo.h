#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/RegistryTree.h"
#include "platform/DeviceIo.h"
#include "backend/board/flash/TargetFlashDriver.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/board/storage/TargetStorageManager.h"

namespace velkor::board {

// The drivers of a real device: the flash driver under its two names (the BinFLASH profile's
// volume device and the fixed name), and each partition's volume device. A name that reaches both
// the flash driver and a volume opens both as one handle, as on the simulator.
class TargetDeviceIo : public platform::DeviceIo {
public:
    // The registry is read at each open, so the profile's folder is the one of that moment.
    TargetDeviceIo(const shared::RegistryTree& registry, TargetFlashDriver& flash, shared::ReleaseRecord& record,
                   TargetStorageManager& storage, shared::ErrorState& errors);

    // 2 for a name that reaches no driver, 32 while a driver it reaches is open.
    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view path, std::uint32_t access,
                                                       std::uint32_t shareMode) override;
    // The flash driver's commit point, which records the installed release (ReleaseRecord::Commit).
    int CommitUpdate(bool wholeUpdate) override;
    void ImageFailed(std::uint32_t controlCode) override { flash_.ImageFailed(controlCode); }
    platform::UpdateStart StartUpdate(bool unattended) override { return flash_.StartUpdate(unattended, record_); }

private:
    bool NamesFlashDriver(std::u16string_view path) const;

    const shared::RegistryTree& registry_;
    TargetFlashDriver& flash_;
    shared::ReleaseRecord& record_;
    TargetStorageManager& storage_;
    shared::ErrorState& errors_;
};

}  // namespace velkor::board
