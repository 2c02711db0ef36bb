#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/RegistryTree.h"
#include "platform/Registry.h"

#include <optional>
#include <vector>

namespace velkor::shared {

// The device registry over the keys read from platform.reg. Keys created while the program runs
// last for the run only. Handles are small integers, reused once closed.
class RegistryService : public platform::Registry {
public:
    RegistryService(RegistryTree tree, ErrorState& errors);

    std::uint32_t CreateKey(std::u16string_view subKey, Handle& key) override;
    std::uint32_t OpenKey(std::u16string_view subKey, Handle& key) override;
    std::uint32_t EnumKey(Handle key, std::uint32_t index, std::size_t maxChars, std::u16string& name) override;
    std::uint32_t QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                              std::u16string& value) override;
    void CloseKey(Handle key) override;

    // The keys as they stand, for the device's own drivers; reading them sets no error.
    const RegistryTree& Tree() const { return tree_; }

private:
    Handle NewHandle(RegistryTree::KeyId id);
    std::optional<RegistryTree::KeyId> KeyOf(Handle key) const;

    RegistryTree tree_;
    ErrorState& errors_;
    // Handle n is slot n - 1; a closed handle leaves an empty slot.
    std::vector<std::optional<RegistryTree::KeyId>> handles_;
};

}  // namespace velkor::shared
