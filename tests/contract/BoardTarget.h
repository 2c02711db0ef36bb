#pragma once

#include "backend/board/TargetPlatform.h"
#include "backend/board/support/TempFolder.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::test {

// The real device's backend as a target file in a folder of its own describes it: the registry
// `registryText`, flash regions that are files in the folder (until `changes` names others), no
// folders, stores or programs, and the log in the folder; `changes` is merged over that.
class BoardTarget {
public:
    explicit BoardTarget(const std::string& registryText, const nlohmann::json& changes = nlohmann::json::object());

    board::TargetPlatform& Target() { return *target_; }
    const std::filesystem::path& Folder() const { return temp_.Path(); }

private:
    TempFolder temp_;
    std::optional<board::TargetPlatform> target_;
};

}  // namespace velkor::test
