#pragma once

#include <optional>
#include <string_view>

namespace velkor::shared {

// The folder a folder search's pattern lists: the pattern less its final "*.*" ("\StorageCard\"
// of "\StorageCard\*.*", "" or "\" for the root). Nothing for any other pattern, or for a
// wildcard before that final component: a search the device refuses with kInvalidParameter.
std::optional<std::u16string_view> SearchedFolder(std::u16string_view pattern);

}  // namespace velkor::shared
