#include "backend/sim/PowerCut.h"

#include "backend/shared/PlainFile.h"
#include "backend/shared/UniqueFd.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace velkor::sim {
namespace {

constexpr std::uint64_t kEraseChunk = 1024 * 1024;

}  // namespace

PowerCut::PowerCut(std::optional<std::uint64_t> afterBytes) : afterBytes_(afterBytes) {}

std::uint64_t PowerCut::Admit(std::uint64_t count) {
    if (!afterBytes_) {
        return count;
    }
    const std::uint64_t left = *afterBytes_ - std::min(written_, *afterBytes_);
    const std::uint64_t landing = std::min(count, left);
    written_ += landing;
    return landing;
}

void PowerCut::RegionWriting(const std::filesystem::path& region, std::uint64_t offset, std::uint64_t count) {
    if (!afterBytes_) {
        return;
    }
    pending_[region].emplace_back(offset, count);
    if (Admit(count) < count) {
        Cut();
    }
}

void PowerCut::RegionFlushed(const std::filesystem::path& region) { pending_.erase(region); }

void PowerCut::Cut() {
    ErasePending();
    std::fprintf(stderr, "velkor: the power is cut after %llu bytes\n", static_cast<unsigned long long>(written_));
    // As at a real cut: no destructor runs, no log line is added, no file is closed in order.
    ::_exit(kExitStatus);
}

void PowerCut::ErasePending() const {
    const std::vector<char> erased(kEraseChunk, kErasedByte);
    for (const auto& [region, ranges] : pending_) {
        const shared::UniqueFd fd = shared::OpenPlainFile(AT_FDCWD, region.c_str(), O_WRONLY);
        for (auto [offset, count] : ranges) {
            while (fd.IsValid() && count > 0) {
                const ssize_t done =
                    ::pwrite(fd.Get(), erased.data(), std::min(count, kEraseChunk), static_cast<off_t>(offset));
                if (done <= 0) {
                    break;
                }
                offset += static_cast<std::uint64_t>(done);
                count -= static_cast<std::uint64_t>(done);
            }
        }
    }
}

}  // namespace velkor::sim
