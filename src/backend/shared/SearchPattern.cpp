#include "backend/shared/SearchPattern.h"

namespace velkor::shared {
namespace {

// The final component of the only search pattern the device is asked for, and the wildcards that
// may appear nowhere else in it.
constexpr std::u16string_view kEveryName = u"*.*";
constexpr std::u16string_view kWildcards = u"*?";
constexpr std::u16string_view kSeparators = u"\\/";

}  // namespace

std::optional<std::u16string_view> SearchedFolder(std::u16string_view pattern) {
    const std::size_t separator = pattern.find_last_of(kSeparators);
    const std::size_t nameStart = separator == std::u16string_view::npos ? 0 : separator + 1;
    const std::u16string_view folder = pattern.substr(0, nameStart);
    if (pattern.substr(nameStart) != kEveryName || folder.find_first_of(kWildcards) != std::u16string_view::npos) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace velkor::shared
