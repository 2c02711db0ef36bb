#include "backend/board/flash/SlotLayout.h"

#include "backend/board/flash/DeviceSpan.h"
#include "backend/shared/DeviceError.h"
#include "backend/shared/slots/BootedSlot.h"
#include "backend/shared/slots/UbootEnvironment.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <cstring>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

// A region, a slot or an environment copy: the field that names it and the bytes it takes.
struct NamedSpan {
    std::string field;
    fs::path path;
    DeviceSpan span;
    bool isSlot;
};

class LayoutCheck {
public:
    LayoutCheck(const TargetConfig& config, const fs::path& sysfs) : config_(config), sysfs_(sysfs) {}

    std::vector<std::string> Problems() {
        if (config_.slotGroup.Empty()) {
            return {};
        }
        CollectRegions();
        CheckSlotSizes();
        CheckSlotsApart();
        CheckEnvironment();
        return problems_;
    }

private:
    std::optional<DeviceSpan> SpanOf(const std::string& field, const fs::path& path) {
        const std::optional<DeviceSpan> span = DeviceSpan::Of(path, sysfs_);
        if (!span) {
            problems_.push_back(fmt::format("{}: {} cannot be examined ({})", field, path, std::strerror(errno)));
        }
        return span;
    }

    void Add(const std::string& field, const fs::path& path, bool isSlot) {
        if (path.empty()) {
            return;  // a region the device does not have
        }
        if (const std::optional<DeviceSpan> span = SpanOf(field, path)) {
            regions_.push_back({field, path, *span, isSlot});
        }
    }

    void CollectRegions() {
        for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
            const auto index = static_cast<std::size_t>(region.region);
            if (!config_.slotGroup.Contains(region.region)) {
                Add(fmt::format("flashRegions.{}", region.name), config_.flashRegions[index], false);
                continue;
            }
            Add(fmt::format("flashRegions.{}.slots[0]", region.name), config_.flashRegions[index], true);
            Add(fmt::format("flashRegions.{}.slots[1]", region.name), config_.secondSlots[index], true);
        }
    }

    const NamedSpan* Find(const std::string& field) const {
        for (const NamedSpan& region : regions_) {
            if (region.field == field) {
                return &region;
            }
        }
        return nullptr;
    }

    void CheckSlotSizes() {
        for (const shared::FlashRegionInfo* member : config_.slotGroup.Members()) {
            const NamedSpan* first = Find(fmt::format("flashRegions.{}.slots[0]", member->name));
            const NamedSpan* second = Find(fmt::format("flashRegions.{}.slots[1]", member->name));
            if (first && second && first->span.Length() != second->span.Length()) {
                problems_.push_back(fmt::format("flashRegions.{}.slots: the two slots differ in size ({} and {} "
                                                "bytes): an image written into one must fit the other",
                                                member->name, first->span.Length(), second->span.Length()));
            }
        }
    }

    void CheckSlotsApart() {
        for (std::size_t index = 0; index < regions_.size(); ++index) {
            for (std::size_t other = index + 1; other < regions_.size(); ++other) {
                const NamedSpan& a = regions_[index];
                const NamedSpan& b = regions_[other];
                if ((a.isSlot || b.isSlot) && a.span.Overlaps(b.span)) {
                    problems_.push_back(fmt::format("{}: {} reaches the same bytes as {} ({}): a slot must be a "
                                                    "place of its own",
                                                    a.isSlot ? a.field : b.field, a.isSlot ? a.path : b.path,
                                                    a.isSlot ? b.field : a.field, a.isSlot ? b.path : a.path));
                }
            }
        }
    }

    void CheckEnvironment() {
        std::vector<NamedSpan> copies;
        for (std::size_t index = 0; index < config_.bootSide.environment.size(); ++index) {
            const shared::EnvironmentCopy& copy = config_.bootSide.environment[index];
            const std::string field = fmt::format("bootEnvironment.copies[{}]", index);
            const std::optional<DeviceSpan> device = SpanOf(field, copy.device);
            if (!device) {
                continue;
            }
            if (device->Length() < copy.offset + copy.size) {
                problems_.push_back(fmt::format("{}: {} holds {} bytes, fewer than the copy's offset {} and size {}",
                                                field, copy.device, device->Length(), copy.offset, copy.size));
            }
            const NamedSpan span{field, copy.device, device->Part(copy.offset, copy.size), false};
            for (const NamedSpan& region : regions_) {
                if (span.span.Overlaps(region.span)) {
                    problems_.push_back(fmt::format("{}: the environment at offset {} in {} overlaps {} ({}): a "
                                                    "write of either would destroy the other",
                                                    field, copy.offset, copy.device, region.field, region.path));
                }
            }
            copies.push_back(span);
        }
        if (copies.size() == 2 && copies[0].span.Overlaps(copies[1].span)) {
            problems_.push_back("bootEnvironment.copies[1]: the two copies overlap: they must be two places");
        }
    }

    const TargetConfig& config_;
    fs::path sysfs_;
    std::vector<NamedSpan> regions_;
    std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> SlotLayoutProblems(const TargetConfig& config, const fs::path& sysfs) {
    return LayoutCheck(config, sysfs).Problems();
}

void CheckBootSide(const TargetConfig& config) {
    const std::vector<std::string> problems = SlotLayoutProblems(config);
    if (!problems.empty()) {
        throw shared::DeviceError(problems.front());
    }
    if (config.slotGroup.Empty()) {
        return;
    }
    shared::UbootEnvironment(config.bootSide.environment).Read();
    shared::ReadBootedSlot(config.bootSide.commandLine);
}

}  // namespace velkor::board
