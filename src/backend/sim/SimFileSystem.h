#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "backend/sim/DeviceConfig.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor::sim {

// The simulated device's file system: the shared file system on DIR/root, with the fault switches
// of device.json that concern files laid over it: files that do not open, a move that fails, and a
// limit on the length of every file written.
class SimFileSystem : public platform::FileSystem {
public:
    SimFileSystem(shared::FolderFileSystem& files, const FaultSwitches& faults, shared::ErrorState& errors);

    std::uint32_t GetAttributes(std::u16string_view path) override;
    bool CreateDirectory(std::u16string_view path) override;
    // A source longer than the size limit fails with kDiskFull before anything is written.
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override;
    bool MoveFile(std::u16string_view from, std::u16string_view to) override;
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override;
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override;

private:
    // The openFails switch names the file the path leads to.
    bool RefusesOpen(std::u16string_view path) const;
    bool ExceedsSizeLimit(std::u16string_view file);

    shared::FolderFileSystem& files_;
    // The keys (shared::AttributeRules::Key) of the files that do not open.
    std::vector<std::u16string> openFails_;
    bool moveFails_;
    std::optional<std::uint64_t> sizeLimit_;
    shared::ErrorState& errors_;
};

}  // namespace velkor::sim
