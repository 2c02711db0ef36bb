#pragma once

#include <filesystem>
#include <string>

namespace velkor::bench {

// RAUC set up to install one image into a block device as its slot B (bench/rauc-install.sh):
// a signed plain bundle and `rauc service` on a private D-Bus, stopped when the object goes.
class RaucInstall {
public:
    // Empty Skipped() when RAUC is ready; otherwise why it is not.
    RaucInstall(const std::filesystem::path& folder, const std::filesystem::path& slot,
                const std::filesystem::path& image);
    ~RaucInstall();
    RaucInstall(const RaucInstall&) = delete;
    RaucInstall& operator=(const RaucInstall&) = delete;

    const std::string& Skipped() const { return skipped_; }
    const std::filesystem::path& Bundle() const { return bundle_; }
    // `rauc install` of the bundle; false when it failed.
    bool Install() const;

private:
    std::string Script(const std::string& command) const;

    std::filesystem::path folder_;
    std::filesystem::path bundle_;
    std::string skipped_;
    bool started_ = false;
};

}  // namespace velkor::bench
