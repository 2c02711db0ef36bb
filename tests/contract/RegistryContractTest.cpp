#include "contract/RegistryRigs.h"
#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"

#include <fmt/ranges.h>

#include <functional>
#include <map>

namespace velkor::test {
namespace {

using Handle = platform::Registry::Handle;

constexpr std::u16string_view kProfiles = u"System\\StorageManager\\Profiles";
constexpr std::size_t kRoomy = 260;

// Calls the registry and answers each call as text: what it gave, or the code it answered and the
// last error then ("2 error 2"). Keys are opened by name and stay open until Close.
class RegistryProbe {
public:
    explicit RegistryProbe(RegistryRig& rig) : rig_(rig), registry_(rig.Registry()) {}
    ~RegistryProbe() {
        for (const auto& [name, handle] : open_) {
            registry_.CloseKey(handle);
        }
    }
    RegistryProbe(const RegistryProbe&) = delete;
    RegistryProbe& operator=(const RegistryProbe&) = delete;

    std::string Open(std::u16string_view key) { return Keep(key, registry_.OpenKey(key, open_[std::u16string(key)])); }
    std::string Create(std::u16string_view key) {
        return Keep(key, registry_.CreateKey(key, open_[std::u16string(key)]));
    }
    std::string Close(std::u16string_view key) {
        registry_.CloseKey(open_.at(std::u16string(key)));
        return "closed";
    }
    // Every subkey name of an opened key in enumeration order, and the code that ended it.
    std::string Subkeys(std::u16string_view key) {
        std::vector<std::string> names;
        std::u16string name;
        std::uint32_t index = 0;
        for (std::uint32_t result = Enum(key, index, kRoomy, name);; result = Enum(key, ++index, kRoomy, name)) {
            if (result != platform::error::kSuccess) {
                return fmt::format("{}; then {}", fmt::join(names, " "), Code(result));
            }
            names.push_back(platform::ToUtf8(name));
        }
    }
    std::string Subkey(std::u16string_view key, std::uint32_t index, std::size_t maxChars) {
        std::u16string name;
        const std::uint32_t result = Enum(key, index, maxChars, name);
        return result == platform::error::kSuccess ? platform::ToUtf8(name) : Code(result);
    }
    std::string Value(std::u16string_view key, std::u16string_view name, std::size_t maxBytes = kRoomy) {
        std::u16string value;
        const std::uint32_t result = registry_.QueryString(HandleOf(key), name, maxBytes, value);
        return result == platform::error::kSuccess ? platform::ToUtf8(value) : Code(result);
    }

private:
    std::uint32_t Enum(std::u16string_view key, std::uint32_t index, std::size_t maxChars, std::u16string& name) {
        return registry_.EnumKey(HandleOf(key), index, maxChars, name);
    }
    // A key never opened is handle 0, which no registry hands out.
    Handle HandleOf(std::u16string_view key) const {
        const auto found = open_.find(std::u16string(key));
        return found == open_.end() ? 0 : found->second;
    }
    std::string Keep(std::u16string_view key, std::uint32_t result) {
        if (result != platform::error::kSuccess) {
            open_.erase(std::u16string(key));
            return Code(result);
        }
        return "opened";
    }
    std::string Code(std::uint32_t result) const { return FailedAnswer(fmt::format("{}", result), rig_.LastError()); }

    RegistryRig& rig_;
    platform::Registry& registry_;
    std::map<std::u16string, Handle> open_;
};

struct RegistryCase {
    const char* name;
    Arrangements needs;
    std::function<Lines(RegistryProbe&)> calls;
    Lines answers;
};

class RegistryContract : public ContractSuite<RegistryRig, RegistryCase> {};

TEST_P(RegistryContract, AnswersAsTheDeviceDoes) {
    const auto& [maker, c] = GetParam();
    const std::unique_ptr<RegistryRig> rig = maker.make(c.needs);
    RegistryProbe probe(*rig);

    EXPECT_EQ(c.calls(probe), c.answers);
}

const std::u16string kSdMemory = std::u16string(kProfiles) + u"\\SDMemory";

const RegistryCase kCases[] = {
    {"KeysOpenInAnyCaseAndMissingOnesAreNotFound", 0,
     [](RegistryProbe& p) {
         return Lines{p.Open(kProfiles), p.Open(u"SYSTEM\\storagemanager\\PROFILES\\sdmemory"),
                      p.Open(u"System\\Nowhere"), p.Open(u"System\\StorageManager\\Profiles\\SDMemory\\Deeper")};
     },
     {"opened", "opened", "2 error 2", "2 error 2"}},
    {"SubkeysEnumerateInTheirOrder", 0,
     [](RegistryProbe& p) { return Lines{p.Open(kProfiles), p.Subkeys(kProfiles)}; },
     {"opened", "SDMemory BinFLASH USBHD; then 259 error 259"}},
    {"CreatedKeysJoinTheEnumerationAndOpen", 0,
     [](RegistryProbe& p) {
         return Lines{p.Create(u"System\\StorageManager\\Profiles\\Spare"), p.Open(kProfiles), p.Subkeys(kProfiles),
                      p.Open(u"system\\storagemanager\\profiles\\SPARE"), p.Create(u"System\\StorageManager")};
     },
     {"opened", "opened", "SDMemory BinFLASH USBHD Spare; then 259 error 259", "opened", "opened"}},
    {"NamesAndValuesNeedRoomForTheirTerminator", 0,
     [](RegistryProbe& p) {
         return Lines{p.Open(kProfiles), p.Subkey(kProfiles, 0, 9), p.Subkey(kProfiles, 0, 8),
                      p.Open(kSdMemory), p.Value(kSdMemory, u"Folder", 24), p.Value(kSdMemory, u"Folder", 23)};
     },
     {"opened", "SDMemory", "234 error 234", "opened", "StorageCard", "234 error 234"}},
    {"ValuesAreFoundByNameInAnyCase", 0,
     [](RegistryProbe& p) {
         return Lines{p.Open(kSdMemory), p.Value(kSdMemory, u"NAME"), p.Value(kSdMemory, u"Missing")};
     },
     {"opened", "SD Memory Card", "2 error 2"}},
    {"HandlesThatAreNotOpenAreInvalid", 0,
     [](RegistryProbe& p) {
         return Lines{p.Open(kSdMemory), p.Close(kSdMemory), p.Value(kSdMemory, u"Folder"),
                      p.Subkey(u"never opened", 0, kRoomy)};
     },
     {"opened", "closed", "6 error 6", "6 error 6"}},
    {"ARefusedKeyDoesNotOpenButTheKeysBelowItDo", kRefusedKey,
     [](RegistryProbe& p) {
         return Lines{p.Open(u"Locked"), p.Create(u"LOCKED"), p.Open(u"Locked\\Inner")};
     },
     {"5 error 5", "5 error 5", "opened"}},
};

INSTANTIATE_TEST_SUITE_P(Implementations, RegistryContract,
                         ::testing::ValuesIn(RegistryContract::Pairings(RegistryRigs(), kCases)),
                         RegistryContract::Name);

}  // namespace
}  // namespace velkor::test
