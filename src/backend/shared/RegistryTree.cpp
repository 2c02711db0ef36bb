#include "backend/shared/RegistryTree.h"

#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::shared {
namespace {

std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path) {
    std::vector<std::u16string_view> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        if (end > start) {
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

// The value entry called `name`, for const and mutable value lists alike.
template <typename Values>
auto FindNamedValue(Values& values, std::u16string_view name) {
    return std::find_if(values.begin(), values.end(),
                        [&](const auto& entry) { return platform::EqualsIgnoreCase(entry.first, name); });
}

}  // namespace

RegistryTree::RegistryTree() : keys_(1) {}

std::optional<RegistryTree::KeyId> RegistryTree::Find(std::u16string_view path) const {
    std::optional<KeyId> key = kRoot;
    for (const std::u16string_view name : SplitKeyPath(path)) {
        key = FindSubkey(*key, name);
        if (!key) {
            break;
        }
    }
    return key;
}

RegistryTree::KeyId RegistryTree::Create(std::u16string_view path) {
    KeyId key = kRoot;
    for (const std::u16string_view name : SplitKeyPath(path)) {
        const std::optional<KeyId> existing = FindSubkey(key, name);
        if (existing) {
            key = *existing;
            continue;
        }
        const KeyId created = keys_.size();
        keys_.push_back(Key{std::u16string(name), {}, {}, {}});
        keys_[key].subkeys.push_back(created);
        keys_[key].subkeysByName.emplace(platform::FoldCase(name), created);
        key = created;
    }
    return key;
}

std::optional<std::u16string_view> RegistryTree::SubkeyName(KeyId key, std::size_t index) const {
    const std::vector<KeyId>& subkeys = keys_.at(key).subkeys;
    if (index >= subkeys.size()) {
        return std::nullopt;
    }
    return keys_[subkeys[index]].name;
}

void RegistryTree::SetValue(KeyId key, std::u16string_view name, RegistryValue value) {
    auto& values = keys_.at(key).values;
    const auto existing = FindNamedValue(values, name);
    if (existing != values.end()) {
        existing->second = std::move(value);
    } else {
        values.emplace_back(std::u16string(name), std::move(value));
    }
}

const RegistryValue* RegistryTree::FindValue(KeyId key, std::u16string_view name) const {
    const auto& values = keys_.at(key).values;
    const auto found = FindNamedValue(values, name);
    return found != values.end() ? &found->second : nullptr;
}

std::optional<RegistryTree::KeyId> RegistryTree::FindSubkey(KeyId key, std::u16string_view name) const {
    const auto& subkeys = keys_.at(key).subkeysByName;
    const auto found = subkeys.find(platform::FoldCase(name));
    return found != subkeys.end() ? std::optional<KeyId>(found->second) : std::nullopt;
}

}  // namespace velkor::shared
