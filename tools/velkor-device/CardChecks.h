#pragma once

#include "backend/sim/DeviceConfig.h"
#include "velkor-device/CardPlan.h"
#include "velkor-device/SourceImages.h"

#include <fmt/format.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::device_tool {

// Everything that stands against a card: each image as the device would take it (readable,
// within its flash region, a logo it can load, a second logo of the screen's size in a layout
// its rewrite handles), two images under one name, and a folder that would be overwritten.
class CardChecks {
public:
    CardChecks(const CardPlan& plan, const sim::DeviceConfig& device);

    CardChecks(const CardChecks&) = delete;
    CardChecks& operator=(const CardChecks&) = delete;

    // One message per problem, naming the file and what the device would do with it; empty when
    // the card may be made in `out`.
    std::vector<std::string> Problems(const std::filesystem::path& out, bool replace);

private:
    void CheckImage(const CardFile& file);
    void CheckRegion(const CardFile& file, std::uint64_t bytes);
    void CheckLogo(const CardFile& file);
    void CheckSecondLogo(const CardFile& file, platform::File& opened);
    void CheckNamesDiffer();
    void CheckOut(const std::filesystem::path& out, bool replace);

    template <typename... Args>
    void Refuse(fmt::format_string<Args...> pattern, Args&&... args) {
        problems_.push_back(fmt::format(pattern, std::forward<Args>(args)...));
    }

    const CardPlan& plan_;
    const sim::DeviceConfig& device_;
    SourceImages sources_;
    std::vector<std::string> problems_;
};

}  // namespace velkor::device_tool
