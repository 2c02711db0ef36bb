#include "support/FakeRegistry.h"

#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"

namespace velkor::test {
namespace {

namespace error = platform::error;

std::u16string Trimmed(std::u16string_view path) {
    while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    return std::u16string(path);
}

}  // namespace

FakeRegistry::Key& FakeRegistry::Ensure(std::u16string_view path) {
    const std::u16string trimmed = Trimmed(path);
    const std::u16string lower = platform::ToLowerCase(trimmed);
    if (const auto found = keys_.find(lower); found != keys_.end()) {
        return found->second;
    }
    const std::size_t split = trimmed.rfind(u'\\');
    if (!trimmed.empty()) {
        Key& parent = Ensure(split == std::u16string::npos ? std::u16string() : trimmed.substr(0, split));
        parent.subkeys.push_back(split == std::u16string::npos ? trimmed : trimmed.substr(split + 1));
    }
    return keys_[lower];
}

void FakeRegistry::AddKey(std::u16string_view path, const Values& values) {
    Key& key = Ensure(path);
    for (const auto& [name, value] : values) {
        key.values[platform::ToLowerCase(name)] = value;
    }
}

void FakeRegistry::FailOpen(std::u16string_view path) { failingOpens_.insert(platform::ToLowerCase(Trimmed(path))); }

std::uint32_t FakeRegistry::CreateKey(std::u16string_view subKey, Handle& key) {
    if (failingOpens_.count(platform::ToLowerCase(Trimmed(subKey)))) {
        return errors_.Report(error::kAccessDenied);
    }
    Ensure(subKey);
    key = nextHandle_++;
    handles_[key] = platform::ToLowerCase(Trimmed(subKey));
    return error::kSuccess;
}

std::uint32_t FakeRegistry::OpenKey(std::u16string_view subKey, Handle& key) {
    if (!keys_.count(platform::ToLowerCase(Trimmed(subKey)))) {
        return errors_.Report(error::kFileNotFound);
    }
    return CreateKey(subKey, key);
}

std::uint32_t FakeRegistry::EnumKey(Handle key, std::uint32_t index, std::size_t maxChars, std::u16string& name) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) {
        return errors_.Report(error::kInvalidHandle);
    }
    const Key& entry = keys_.at(handle->second);
    if (index >= entry.subkeys.size()) {
        return errors_.Report(error::kNoMoreItems);
    }
    if (entry.subkeys[index].size() + 1 > maxChars) {
        return errors_.Report(error::kMoreData);
    }
    name = entry.subkeys[index];
    return error::kSuccess;
}

std::uint32_t FakeRegistry::QueryString(Handle key, std::u16string_view valueName, std::size_t maxBytes,
                                        std::u16string& value) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) {
        return errors_.Report(error::kInvalidHandle);
    }
    const Key& entry = keys_.at(handle->second);
    const auto found = entry.values.find(platform::ToLowerCase(valueName));
    if (found == entry.values.end()) {
        return errors_.Report(error::kFileNotFound);
    }
    if ((found->second.size() + 1) * 2 > maxBytes) {
        return errors_.Report(error::kMoreData);
    }
    value = found->second;
    return error::kSuccess;
}

void FakeRegistry::CloseKey(Handle key) {
    if (handles_.erase(key) == 0) {
        errors_.Report(error::kInvalidHandle);
    }
}

}  // namespace velkor::test
