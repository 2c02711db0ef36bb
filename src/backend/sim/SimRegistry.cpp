#include "backend/sim/SimRegistry.h"

#include <algorithm>

namespace velkor::sim {

SimRegistry::SimRegistry(shared::RegistryService& registry, const std::vector<std::u16string>& openFails,
                         shared::ErrorState& errors)
    : registry_(registry), errors_(errors) {
    for (const std::u16string& path : openFails) {
        if (const std::optional<shared::RegistryTree::KeyId> id = registry_.Tree().Find(path)) {
            refusedKeys_.push_back(*id);
        }
    }
}

std::uint32_t SimRegistry::CreateKey(std::u16string_view subKey, Handle& key) {
    if (Refuses(subKey)) {
        return errors_.Report(platform::error::kAccessDenied);
    }
    return registry_.CreateKey(subKey, key);
}

std::uint32_t SimRegistry::OpenKey(std::u16string_view subKey, Handle& key) {
    if (Refuses(subKey)) {
        return errors_.Report(platform::error::kAccessDenied);
    }
    return registry_.OpenKey(subKey, key);
}

std::uint32_t SimRegistry::EnumKey(Handle key, std::uint32_t index, std::size_t maxChars, std::u16string& name) {
    return registry_.EnumKey(key, index, maxChars, name);
}

std::uint32_t SimRegistry::QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                                       std::u16string& value) {
    return registry_.QueryString(key, valueName, maxBytes, value);
}

void SimRegistry::CloseKey(Handle key) { registry_.CloseKey(key); }

bool SimRegistry::Refuses(std::u16string_view subKey) const {
    const std::optional<shared::RegistryTree::KeyId> id = registry_.Tree().Find(subKey);
    return id && std::find(refusedKeys_.begin(), refusedKeys_.end(), *id) != refusedKeys_.end();
}

}  // namespace velkor::sim
