#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/UniqueFd.h"
#include "backend/board/flash/BlockDevice.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace velkor::board {

// A flash region of the target, open for reading and writing: a block device, claimed for the
// driver alone, or a regular file, which is written in place and whose size is the region's.
class RegionDevice {
public:
    // Refuses, with the last error set and nothing written, what the driver must not write:
    // kAccessDenied for a block device or file that another user has, itself or through an alias
    // (UseOf: mounted, holding the running system's root, held by device-mapper or md, an active
    // swap area, a file set up as a loop device), for a regular file reached through a link
    // anywhere on its path, and for anything but a block device or regular file; kSharingViolation
    // for a block device another has claimed (a kernel mount claims its device too); the host's
    // error mapped when the path cannot be opened.
    static std::optional<RegionDevice> Open(const std::filesystem::path& path, shared::ErrorState& errors);

    int Descriptor() const { return fd_.Get(); }
    std::uint64_t Capacity() const { return capacity_; }

private:
    RegionDevice(shared::UniqueFd fd, std::uint64_t capacity) : fd_(std::move(fd)), capacity_(capacity) {}

    static std::optional<RegionDevice> OpenBlockDevice(const std::filesystem::path& path, DeviceNumber number,
                                                       shared::ErrorState& errors);
    static std::optional<RegionDevice> OpenRegularFile(const std::filesystem::path& path, shared::ErrorState& errors);
    // What `fd` is open on, when it is of `kind` (and, for a block device, `number`).
    static std::optional<RegionDevice> Examined(shared::UniqueFd fd, PathKind kind, DeviceNumber number,
                                                shared::ErrorState& errors);

    shared::UniqueFd fd_;
    std::uint64_t capacity_;
};

}  // namespace velkor::board
