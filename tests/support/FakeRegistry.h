#pragma once

#include "platform/Registry.h"
#include "support/FakeLastError.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace velkor::test {

// An in-memory registry under HKEY_LOCAL_MACHINE. Subkeys enumerate in the order they were
// added, as the device's do; names compare without regard to case. Failures answer the device's
// codes and set the last error. It counts open handles so that tests can tell every key was closed.
class FakeRegistry : public platform::Registry, public FakeLastError {
public:
    using Values = std::vector<std::pair<std::u16string, std::u16string>>;

    using FakeLastError::FakeLastError;

    // Adds the key (and the keys above it) with string values.
    void AddKey(std::u16string_view path, const Values& values = {});
    int OpenHandles() const { return static_cast<int>(handles_.size()); }
    // Opening or creating this key fails with access denied.
    void FailOpen(std::u16string_view path);

    std::uint32_t CreateKey(std::u16string_view subKey, Handle& key) override;
    std::uint32_t OpenKey(std::u16string_view subKey, Handle& key) override;
    std::uint32_t EnumKey(Handle key, std::uint32_t index, std::size_t maxChars, std::u16string& name) override;
    std::uint32_t QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                              std::u16string& value) override;
    void CloseKey(Handle key) override;

private:
    struct Key {
        std::vector<std::u16string> subkeys;
        std::map<std::u16string, std::u16string> values;  // by lower-case name
    };

    Key& Ensure(std::u16string_view path);

    std::map<std::u16string, Key> keys_;  // by lower-case path without outer backslashes
    std::map<Handle, std::u16string> handles_;
    std::set<std::u16string> failingOpens_;  // lower-case paths
    Handle nextHandle_ = 1;
};

}  // namespace velkor::test
