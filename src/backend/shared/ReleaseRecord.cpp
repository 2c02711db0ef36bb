#include "backend/shared/ReleaseRecord.h"

#include "backend/shared/DeviceError.h"
#include "platform/Sha256.h"

#include <fmt/format.h>

#include <array>
#include <charconv>

namespace velkor::shared {
namespace {

namespace error = platform::error;

constexpr std::array<std::string_view, 2> kVariables{ReleaseRecord::kVersionVariable,
                                                     ReleaseRecord::kManifestVariable};

std::optional<std::uint64_t> ParseVersion(std::string_view text) {
    std::uint64_t version = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), version);
    return !text.empty() && failure == std::errc() && end == text.data() + text.size() ? std::optional(version)
                                                                                      : std::nullopt;
}

// The release the two values make; nothing unless both are there and well formed.
std::optional<platform::InstalledRelease> ReleaseOf(const EnvironmentValues& values) {
    const auto version = values.find(ReleaseRecord::kVersionVariable);
    const auto manifest = values.find(ReleaseRecord::kManifestVariable);
    if (version == values.end() || manifest == values.end()) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> number = ParseVersion(version->second);
    const std::optional<platform::Sha256Digest> digest = platform::DigestFromHex(manifest->second);
    if (!number || !digest) {
        return std::nullopt;
    }
    return platform::InstalledRelease{*number, platform::DigestHex(*digest)};
}

}  // namespace

ReleaseRecord::ReleaseRecord(const SlotGroup& group, BootEnvironment& environment, std::filesystem::path file,
                             CardApproval& approval, ErrorState& errors, EventLog& events,
                             std::function<void(std::string_view)> debugLine)
    : group_(group),
      environment_(environment),
      approval_(approval),
      errors_(errors),
      events_(events),
      debugLine_(std::move(debugLine)) {
    if (!file.empty()) {
        file_.emplace(std::move(file));
    }
    if (file_) {
        approval_.GuardInPlaceWrites(
            [this](const platform::InstalledRelease& release) { return RaiseBeforeInPlaceWrite(release); });
    }
}

bool ReleaseRecord::RaiseBeforeInPlaceWrite(const platform::InstalledRelease& release) {
    // A device with two-slot regions records its release only with the switch.
    std::uint32_t error = error::kSuccess;
    if (InEnvironment() || file_->Read(error) == release) {
        return true;
    }
    const bool done = file_->Write(release, error);
    events_.InstallingRelease(release.version, release.manifestSha256, done, error);
    if (!done) {
        debugLine_(fmt::format("Installing version {} not recorded: error {}", release.version, error));
        return errors_.Fail(error);
    }
    debugLine_(fmt::format("installing version {}", release.version));
    return true;
}

std::optional<platform::InstalledRelease> ReleaseRecord::Read(std::uint32_t& error) {
    if (InEnvironment()) {
        return ReadEnvironment(error);
    }
    return file_ ? file_->Read(error) : platform::InstalledRelease{};
}

std::optional<platform::InstalledRelease> ReleaseRecord::ReadEnvironment(std::uint32_t& error) {
    try {
        const EnvironmentValues values = environment_.Values(kVariables);
        if (values.empty()) {
            return platform::InstalledRelease{};
        }
        if (std::optional<platform::InstalledRelease> release = ReleaseOf(values)) {
            return release;
        }
        debugLine_(fmt::format("the boot environment's {} and {} are not a release", kVersionVariable,
                               kManifestVariable));
    } catch (const DeviceError& failure) {
        debugLine_(failure.what());
    }
    error = error::kInvalidData;
    return std::nullopt;
}

bool ReleaseRecord::Commit(bool wholeUpdate, const CommitSlots& commitSlots) {
    std::optional<platform::InstalledRelease> release = approval_.TakeRelease();
    if (!wholeUpdate) {
        release.reset();
    }
    if (InEnvironment()) {
        return commitSlots(release ? Variables(*release) : BootVariables{}, wholeUpdate);
    }
    if (!commitSlots({}, wholeUpdate)) {
        return false;
    }
    if (!release) {
        return true;
    }
    return WriteFile(*release);
}

bool ReleaseRecord::WriteFile(const platform::InstalledRelease& release) {
    // A device that keeps no record has no keyring, and so approves no release.
    std::uint32_t error = error::kNotSupported;
    bool done = false;
    if (file_) {
        done = file_->Write(release, error);
    }
    events_.InstalledRelease(release.version, release.manifestSha256, done, error);
    if (!done) {
        debugLine_(fmt::format("Installed version {} not recorded: error {}", release.version, error));
        return errors_.Fail(error);
    }
    debugLine_(fmt::format("installed version {}", release.version));
    return true;
}

BootVariables ReleaseRecord::Variables(const platform::InstalledRelease& release) {
    return {{std::string(kVersionVariable), std::to_string(release.version)},
            {std::string(kManifestVariable), release.manifestSha256}};
}

}  // namespace velkor::shared
