#include "update/UpdateSettings.h"

#include <array>

namespace velkor::update {
namespace {

struct RowMembers {
    std::string_view name;
    std::int32_t UpdateSettings::*enabled;
    std::u16string UpdateSettings::*path;
};

// Indexed by ImageKind.
constexpr std::array<RowMembers, 6> kRowMembers{{
    {"OS", &UpdateSettings::osEnabled, &UpdateSettings::osPath},
    {"Logo", &UpdateSettings::logoEnabled, &UpdateSettings::logoPath},
    {"Logo2", &UpdateSettings::logo2Enabled, &UpdateSettings::logo2Path},
    {"Boot", &UpdateSettings::bootEnabled, &UpdateSettings::bootPath},
    {"App", &UpdateSettings::appEnabled, &UpdateSettings::appPath},
    {"Reset", &UpdateSettings::resetEnabled, nullptr},
}};

const RowMembers& MembersOf(ImageKind kind) { return kRowMembers.at(static_cast<std::size_t>(kind)); }

}  // namespace

std::string_view ImageKindName(ImageKind kind) { return MembersOf(kind).name; }

std::optional<ImageKind> ImageKindNamed(std::string_view name) {
    for (std::size_t index = 0; index < kRowMembers.size(); ++index) {
        if (kRowMembers[index].name == name) {
            return static_cast<ImageKind>(index);
        }
    }
    return std::nullopt;
}

bool WritesImage(ImageKind kind) { return MembersOf(kind).path != nullptr; }

std::int32_t& UpdateSettings::Enabled(ImageKind kind) { return this->*MembersOf(kind).enabled; }

std::int32_t UpdateSettings::Enabled(ImageKind kind) const { return this->*MembersOf(kind).enabled; }

std::u16string* UpdateSettings::Path(ImageKind kind) {
    const auto path = MembersOf(kind).path;
    return path ? &(this->*path) : nullptr;
}

const std::u16string* UpdateSettings::Path(ImageKind kind) const {
    const auto path = MembersOf(kind).path;
    return path ? &(this->*path) : nullptr;
}

}  // namespace velkor::update
