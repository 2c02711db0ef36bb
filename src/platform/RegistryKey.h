#pragma once

#include "platform/Registry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::platform {

enum class KeyOpening { CreateIfAbsent, ExistingOnly };

// An open registry key, closed when the object goes.
class RegistryKey {
public:
    // Opens HKEY_LOCAL_MACHINE\subKey, by default creating it when absent; IsOpen() tells whether
    // it worked.
    RegistryKey(Registry& registry, std::u16string_view subKey, KeyOpening opening = KeyOpening::CreateIfAbsent);
    ~RegistryKey();

    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool IsOpen() const { return open_; }
    // The name of subkey `index`, or nothing once the enumeration call fails.
    std::optional<std::u16string> SubkeyName(std::uint32_t index, std::size_t maxChars) const;
    // The string value, or nothing when it is missing or too long for `maxBytes`.
    std::optional<std::u16string> StringValue(std::u16string_view name, std::size_t maxBytes) const;

private:
    Registry& registry_;
    Registry::Handle handle_ = 0;
    bool open_ = false;
};

}  // namespace velkor::platform
