#include "contract/BoardTarget.h"

#include "backend/shared/flash/FlashRegion.h"
#include "support/ProgramRun.h"

#include <fmt/format.h>

namespace velkor::test {

namespace fs = std::filesystem;
using nlohmann::json;

BoardTarget::BoardTarget(const std::string& registryText, const json& changes) {
    WriteHostFile(temp_.Path() / "platform.reg", registryText);
    json target = {{"registry", (temp_.Path() / "platform.reg").string()},
                   {"folders", json::object()},
                   {"flashRegions", json::object()},
                   {"log", (temp_.Path() / "log").string()}};
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        target["flashRegions"][std::string(region.name)] = (temp_.Path() / fmt::format("{}.region", region.name)).string();
    }
    target.merge_patch(changes);
    WriteHostFile(temp_.Path() / "target.json", target.dump(2));
    target_.emplace(temp_.Path() / "target.json");
}

}  // namespace velkor::test
