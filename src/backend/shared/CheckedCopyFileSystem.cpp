#include "backend/shared/CheckedCopyFileSystem.h"

#include "backend/shared/flash/ImageExpectation.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>

#include <vector>

namespace velkor::shared {
namespace {

constexpr std::uint32_t kChunkBytes = 64 * 1024;

}  // namespace

CheckedCopyFileSystem::CheckedCopyFileSystem(platform::FileSystem& fileSystem, CardApproval& approval,
                                             ErrorState& errors, std::function<void(std::string_view)> debugLine)
    : ForwardingFileSystem(fileSystem), approval_(approval), errors_(errors), debugLine_(std::move(debugLine)) {}

bool CheckedCopyFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    const std::optional<platform::FileIdentity> source = IdentityOf(from);
    const platform::ExpectedImage* listed = approval_.Find(from, source.value_or(platform::FileIdentity{}));
    if (listed && source && *source != listed->identity) {
        debugLine_(fmt::format("{} is not the file the card check read as {}", platform::ToUtf8(from),
                               platform::ToUtf8(listed->devicePath)));
        approval_.NoteMismatch();
        return errors_.Fail(platform::error::kCrc);
    }
    if (!Inner().CopyFile(from, to)) {
        return false;
    }
    if (!listed) {
        return true;
    }
    return CheckCopy(from, to, *listed);
}

std::optional<platform::FileIdentity> CheckedCopyFileSystem::IdentityOf(std::u16string_view path) {
    const std::unique_ptr<platform::File> file = Inner().OpenFile(path, platform::FileMode::Read);
    return file ? std::optional(file->Identity()) : std::nullopt;
}

bool CheckedCopyFileSystem::ReadBack(std::u16string_view path, ImageExpectation& expectation) {
    const std::unique_ptr<platform::File> copy = Inner().OpenFile(path, platform::FileMode::Read);
    if (!copy) {
        return false;
    }
    std::vector<char> chunk(kChunkBytes);
    for (std::uint32_t count = 0;;) {
        if (!copy->Read(chunk.data(), kChunkBytes, count)) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        expectation.ReadBack(chunk.data(), count);
    }
}

bool CheckedCopyFileSystem::CheckCopy(std::u16string_view from, std::u16string_view to,
                                      const platform::ExpectedImage& listed) {
    ImageExpectation expectation(listed);
    if (!ReadBack(to, expectation)) {
        return false;
    }
    if (expectation.ReadBackMatches()) {
        return true;
    }
    debugLine_(fmt::format("{} is not the image the card's manifest lists: its copy {} {}", platform::ToUtf8(from),
                           platform::ToUtf8(to), expectation.Mismatch()));
    Inner().DeleteFile(to);
    approval_.NoteMismatch();
    return errors_.Fail(platform::error::kCrc);
}

}  // namespace velkor::shared
