#pragma once

#include "platform/FileSystem.h"
#include "sim/DeviceConfig.h"
#include "sim/ErrorState.h"
#include "sim/PathResolver.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkor::sim {

// The device's file system on the host folder DIR/root, with the write-protect and file-size
// fault switches of device.json.
class SimFileSystem : public platform::FileSystem {
public:
    SimFileSystem(const std::filesystem::path& root, const FaultSwitches& faults, ErrorState& errors);

    std::uint32_t GetAttributes(std::u16string_view path) override;
    bool CreateDirectory(std::u16string_view path) override;
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override;
    bool MoveFile(std::u16string_view from, std::u16string_view to) override;
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override;

private:
    // Nothing, with the last error set, when the path is refused.
    std::optional<ResolvedPath> Resolve(std::u16string_view path);
    bool IsWriteProtected(const ResolvedPath& path) const;
    // The device's error for a failed host call on `path`.
    static std::uint32_t HostError(int hostError, const ResolvedPath& path);

    PathResolver resolver_;
    std::vector<std::vector<std::u16string>> writeProtected_;
    std::optional<std::uint64_t> fileSizeLimit_;
    ErrorState& errors_;
};

}  // namespace velkor::sim
