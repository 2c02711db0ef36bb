#pragma once

#include "velkor-device/CardDevice.h"
#include "velkor-device/CardPlan.h"

#include <string>
#include <vector>

namespace velkor::device_tool {

// Everything that stands against a card: each image as the device would take it, a path on the
// card longer than the device's paths, two different images under one name, a settings file the
// updater would not read on that device, a folder OUT that must not be replaced, and a disk
// without room for the card.
class CardChecks {
public:
    CardChecks(const CardRequest& request, const CardPlan& plan, const CardDevice& device);

    CardChecks(const CardChecks&) = delete;
    CardChecks& operator=(const CardChecks&) = delete;

    // One message per problem, naming the file and what the device would do with it; empty when
    // the card may be made.
    std::vector<std::string> Problems();

private:
    void CheckPathLength(const CardFile& file);
    void CheckNamesDiffer();
    void CheckSettingsFileIsRead();
    void CheckRoom();

    const CardRequest& request_;
    const CardPlan& plan_;
    const CardDevice& device_;
    std::vector<std::string> problems_;
};

}  // namespace velkor::device_tool
