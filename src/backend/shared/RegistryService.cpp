#include "backend/shared/RegistryService.h"

#include <algorithm>

namespace velkor::shared {
namespace {

namespace error = platform::error;

constexpr std::size_t kBytesPerCharacter = sizeof(char16_t);

}  // namespace

RegistryService::RegistryService(RegistryTree tree, ErrorState& errors) : tree_(std::move(tree)), errors_(errors) {}

std::uint32_t RegistryService::CreateKey(std::u16string_view subKey, Handle& key) {
    key = NewHandle(tree_.Create(subKey));
    return error::kSuccess;
}

std::uint32_t RegistryService::OpenKey(std::u16string_view subKey, Handle& key) {
    const std::optional<RegistryTree::KeyId> id = tree_.Find(subKey);
    if (!id) {
        return errors_.Report(error::kFileNotFound);
    }
    key = NewHandle(*id);
    return error::kSuccess;
}

std::uint32_t RegistryService::EnumKey(Handle key, std::uint32_t index, std::size_t maxChars, std::u16string& name) {
    const std::optional<RegistryTree::KeyId> id = KeyOf(key);
    if (!id) {
        return errors_.Report(error::kInvalidHandle);
    }
    const std::optional<std::u16string_view> subkey = tree_.SubkeyName(*id, index);
    if (!subkey) {
        return errors_.Report(error::kNoMoreItems);
    }
    if (subkey->size() + 1 > maxChars) {
        return errors_.Report(error::kMoreData);
    }
    name = *subkey;
    return error::kSuccess;
}

std::uint32_t RegistryService::QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                                       std::u16string& value) {
    const std::optional<RegistryTree::KeyId> id = KeyOf(key);
    if (!id) {
        return errors_.Report(error::kInvalidHandle);
    }
    const RegistryValue* found = tree_.FindValue(*id, valueName);
    if (!found) {
        return errors_.Report(error::kFileNotFound);
    }
    const auto* text = std::get_if<std::u16string>(found);
    if (!text) {
        return errors_.Report(error::kInvalidParameter);
    }
    if ((text->size() + 1) * kBytesPerCharacter > maxBytes) {
        return errors_.Report(error::kMoreData);
    }
    value = *text;
    return error::kSuccess;
}

void RegistryService::CloseKey(Handle key) {
    if (!KeyOf(key)) {
        errors_.Report(error::kInvalidHandle);
        return;
    }
    handles_[key - 1].reset();
}

RegistryService::Handle RegistryService::NewHandle(RegistryTree::KeyId id) {
    auto freeSlot = std::find(handles_.begin(), handles_.end(), std::nullopt);
    if (freeSlot == handles_.end()) {
        freeSlot = handles_.insert(handles_.end(), std::nullopt);
    }
    *freeSlot = id;
    return static_cast<Handle>(freeSlot - handles_.begin() + 1);
}

std::optional<RegistryTree::KeyId> RegistryService::KeyOf(Handle key) const {
    if (key == 0 || key > handles_.size()) {
        return std::nullopt;
    }
    return handles_[key - 1];
}

}  // namespace velkor::shared
