#include "velkor-device/CardRows.h"

#include "update/ImageSteps.h"

#include <algorithm>
#include <cctype>

namespace velkor::device_tool {
namespace {

// "os" for the row labelled "OS".
std::string LowerCaseName(update::ImageKind kind) {
    std::string name(update::ImageKindName(kind));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char letter) { return static_cast<char>(std::tolower(letter)); });
    return name;
}

}  // namespace

std::string CardOption(update::ImageKind kind) { return "--" + LowerCaseName(kind); }

const shared::FlashRegionInfo* FlashRegionOf(update::ImageKind kind) {
    const std::optional<std::uint32_t> code = update::FlashControlCode(kind);
    return code ? shared::FindRegionByCode(*code) : nullptr;
}

}  // namespace velkor::device_tool
