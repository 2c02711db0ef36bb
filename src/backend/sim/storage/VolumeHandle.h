#pragma once

#include "backend/shared/storage/ControlCall.h"
#include "platform/DeviceIo.h"
#include "backend/sim/storage/PartitionState.h"
#include "backend/sim/storage/StorageContext.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

// The open device of a partition's volume, which reports the volume's parameters and free space.
// While it lives the volume device is claimed, and every request sent through it is one
// events.log line. It must not outlive the device it was opened on.
class VolumeHandle : public platform::DeviceHandle {
public:
    // `openedName` is the name as the program gave it.
    VolumeHandle(std::u16string openedName, PartitionState& partition, StorageContext& context);
    ~VolumeHandle() override;

    VolumeHandle(const VolumeHandle&) = delete;
    VolumeHandle& operator=(const VolumeHandle&) = delete;

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;

private:
    // Nothing, with the last error set, when the request is refused or the volume cannot be read.
    std::optional<std::vector<std::uint8_t>> Reply(const shared::ControlCall& call);
    std::vector<std::uint8_t> VolumeParameters() const;
    std::optional<std::vector<std::uint8_t>> FreeSpace();

    std::u16string openedName_;
    PartitionState& partition_;
    StorageContext& context_;
};

}  // namespace velkor::sim
