#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::platform {

// The device registry, reduced to the calls the program makes. Every key lives under
// HKEY_LOCAL_MACHINE. Calls return an error code (error::kSuccess on success), as the
// device's registry functions do. RegistryKey owns a handle and closes it.
class Registry {
public:
    using Handle = std::uint32_t;

    virtual ~Registry() = default;

    // Opens the key, creating it first when it is absent; full access.
    virtual std::uint32_t CreateKey(std::u16string_view subKey, Handle& key) = 0;
    // Opens an existing key; kFileNotFound when it is absent.
    virtual std::uint32_t OpenKey(std::u16string_view subKey, Handle& key) = 0;
    // The name of the subkey at `index`, in enumeration order; kNoMoreItems past the last one,
    // kMoreData when the name and its terminator do not fit into `maxChars` characters.
    virtual std::uint32_t EnumKey(Handle key, std::uint32_t index, std::size_t maxChars,
                                  std::u16string& name) = 0;
    // A string value; kFileNotFound when absent, kMoreData when the value and its terminator
    // do not fit into `maxBytes` bytes.
    virtual std::uint32_t QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                                      std::u16string& value) = 0;
    virtual void CloseKey(Handle key) = 0;
};

}  // namespace velkor::platform
