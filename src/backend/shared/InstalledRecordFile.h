#pragma once

#include "platform/DeviceTrust.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace velkor::shared {

// The record of the release a trusted card installed, a small JSON file
// ({"version": 7, "manifestSha256": "..."}) that is only ever replaced whole: the new record is
// written beside it, flushed to the medium, and renamed over it, so that a power cut leaves the
// old record or the new one.
class InstalledRecordFile {
public:
    explicit InstalledRecordFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Version 0 and no digest when there is no record yet. Nothing when it cannot be read, or is
    // not a record; `error` then holds the device error code.
    std::optional<platform::InstalledRelease> Read(std::uint32_t& error) const;
    // False, with the device error code, when the record could not be replaced; the old one then
    // stays as it was and no temporary file is left.
    bool Write(const platform::InstalledRelease& release, std::uint32_t& error) const;

private:
    std::filesystem::path TemporaryPath() const;
    bool WriteTemporary(const std::string& text, std::uint32_t& error) const;

    std::filesystem::path path_;
};

}  // namespace velkor::shared
