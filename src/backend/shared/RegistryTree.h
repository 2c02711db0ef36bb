#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace velkor::shared {

// A registry value: a string, or a dword (present, but not a string to the program).
using RegistryValue = std::variant<std::u16string, std::uint32_t>;

// The keys below HKEY_LOCAL_MACHINE with their values. Key and value names compare without
// regard to case; subkeys keep the order in which they were first created.
class RegistryTree {
public:
    using KeyId = std::size_t;
    static constexpr KeyId kRoot = 0;

    RegistryTree();

    // `path` is a backslash-separated key path below the root; empty components are skipped.
    std::optional<KeyId> Find(std::u16string_view path) const;
    // Finds the key, creating it and any missing keys above it.
    KeyId Create(std::u16string_view path);

    std::optional<std::u16string_view> SubkeyName(KeyId key, std::size_t index) const;
    // The empty name is the key's default value.
    void SetValue(KeyId key, std::u16string_view name, RegistryValue value);
    const RegistryValue* FindValue(KeyId key, std::u16string_view name) const;

private:
    struct Key {
        std::u16string name;
        // In creation order, and by folded name so that a lookup does not walk its siblings.
        std::vector<KeyId> subkeys;
        std::unordered_map<std::u16string, KeyId> subkeysByName;
        std::vector<std::pair<std::u16string, RegistryValue>> values;
    };

    std::optional<KeyId> FindSubkey(KeyId key, std::u16string_view name) const;

    std::vector<Key> keys_;
};

}  // namespace velkor::shared
