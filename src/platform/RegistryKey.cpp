#include "platform/RegistryKey.h"

#include "platform/ErrorCodes.h"

namespace velkor::platform {

RegistryKey::RegistryKey(Registry& registry, std::u16string_view subKey, KeyOpening opening)
    : registry_(registry),
      open_((opening == KeyOpening::CreateIfAbsent ? registry.CreateKey(subKey, handle_)
                                                   : registry.OpenKey(subKey, handle_)) == error::kSuccess) {}

RegistryKey::~RegistryKey() {
    if (open_) {
        registry_.CloseKey(handle_);
    }
}

std::optional<std::u16string> RegistryKey::SubkeyName(std::uint32_t index, std::size_t maxChars) const {
    std::u16string name;
    if (!open_ || registry_.EnumKey(handle_, index, maxChars, name) != error::kSuccess) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::u16string> RegistryKey::StringValue(std::u16string_view name, std::size_t maxBytes) const {
    std::u16string value;
    if (!open_ || registry_.QueryString(handle_, name, maxBytes, value) != error::kSuccess) {
        return std::nullopt;
    }
    return value;
}

}  // namespace velkor::platform
