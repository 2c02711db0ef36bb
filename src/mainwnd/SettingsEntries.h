#pragma once

#include "platform/StringArray.h"
#include "update/UpdateSettings.h"

#include <array>
#include <cstddef>

namespace velkor::mainwnd {

// The settings file holds, in this order, each row's flag followed by its path (Reset has no
// path): 11 entries.
inline constexpr std::array<update::ImageKind, 6> kSettingsFileOrder{
    update::ImageKind::OS,   update::ImageKind::Logo, update::ImageKind::Logo2,
    update::ImageKind::Boot, update::ImageKind::App,  update::ImageKind::Reset,
};
inline constexpr std::size_t kSettingsEntryCount = 11;

// The 11 entries for `settings`: flags as "%d", paths as they are.
platform::StringArray MakeSettingsEntries(const update::UpdateSettings& settings);

// Applies the first 11 entries when there are at least that many: a flag entry of exactly "1"
// sets its flag (anything else leaves it), a path entry always replaces its path. Returns false,
// changing nothing, when there are fewer.
bool ApplySettingsEntries(const platform::StringArray& entries, update::UpdateSettings& settings);

}  // namespace velkor::mainwnd
