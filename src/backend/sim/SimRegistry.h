#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/RegistryService.h"
#include "backend/shared/RegistryTree.h"
#include "platform/Registry.h"

#include <string>
#include <vector>

namespace velkor::sim {

// The simulated device's registry: the shared registry over platform.reg, with the
// registryOpenFails switch laid over it: the keys it names refuse to open or be created.
class SimRegistry : public platform::Registry {
public:
    // `openFails` are paths below the root, as in platform.reg; keys it does not hold are ignored.
    SimRegistry(shared::RegistryService& registry, const std::vector<std::u16string>& openFails,
                shared::ErrorState& errors);

    std::uint32_t CreateKey(std::u16string_view subKey, Handle& key) override;
    std::uint32_t OpenKey(std::u16string_view subKey, Handle& key) override;
    std::uint32_t EnumKey(Handle key, std::uint32_t index, std::size_t maxChars, std::u16string& name) override;
    std::uint32_t QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                              std::u16string& value) override;
    void CloseKey(Handle key) override;

private:
    bool Refuses(std::u16string_view subKey) const;

    shared::RegistryService& registry_;
    std::vector<shared::RegistryTree::KeyId> refusedKeys_;
    shared::ErrorState& errors_;
};

}  // namespace velkor::sim
