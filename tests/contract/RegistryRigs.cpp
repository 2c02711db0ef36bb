#include "contract/RegistryRigs.h"

#include "backend/sim/SimPlatform.h"
#include "backend/sim/TempDevice.h"
#include "contract/BoardTarget.h"
#include "support/FakeRegistry.h"

#include <optional>

namespace velkor::test {
namespace {

constexpr std::u16string_view kProfiles = u"System\\StorageManager\\Profiles\\";

constexpr const char* kRegistryText = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\StorageManager\Profiles\SDMemory]
"Folder"="StorageCard"
"Name"="SD Memory Card"

[HKEY_LOCAL_MACHINE\System\StorageManager\Profiles\BinFLASH]
"Folder"="VKRFlash"

[HKEY_LOCAL_MACHINE\System\StorageManager\Profiles\USBHD]
"Folder"="Hard Disk"

[HKEY_LOCAL_MACHINE\Locked\Inner]
)";

class FakeRig : public RegistryRig {
public:
    explicit FakeRig(Arrangements needs) {
        registry_.AddKey(std::u16string(kProfiles) + u"SDMemory", {{u"Folder", u"StorageCard"}, {u"Name", u"SD Memory Card"}});
        registry_.AddKey(std::u16string(kProfiles) + u"BinFLASH", {{u"Folder", u"VKRFlash"}});
        registry_.AddKey(std::u16string(kProfiles) + u"USBHD", {{u"Folder", u"Hard Disk"}});
        registry_.AddKey(u"Locked\\Inner");
        if ((needs & kRefusedKey) != 0) {
            registry_.FailOpen(u"Locked");
        }
    }

    platform::Registry& Registry() override { return registry_; }
    std::uint32_t LastError() override { return registry_.LastError(); }

private:
    FakeRegistry registry_;
};

class SimRig : public RegistryRig {
public:
    explicit SimRig(Arrangements needs)
        : device_(kRegistryText, (needs & kRefusedKey) != 0 ? R"({"registryOpenFails": ["Locked"]})" : "{}"),
          platform_(device_.Dir()) {}

    platform::Registry& Registry() override { return platform_.platform().registry; }
    std::uint32_t LastError() override { return platform_.platform().system.GetLastError(); }

private:
    sim::test::TempDevice device_;
    sim::SimPlatform platform_;
};

class BoardRig : public RegistryRig {
public:
    BoardRig() : target_(kRegistryText) {}

    platform::Registry& Registry() override { return target_.Target().platform().registry; }
    std::uint32_t LastError() override { return target_.Target().platform().system.GetLastError(); }

private:
    BoardTarget target_;
};

}  // namespace

std::vector<RigMaker<RegistryRig>> RegistryRigs() {
    // A real device's registry file has no switches: every key it holds opens.
    return {MakerOf<RegistryRig, FakeRig>("Fake", kRefusedKey), MakerOf<RegistryRig, SimRig>("Sim", kRefusedKey),
            MakerOf<RegistryRig, BoardRig>("Board")};
}

}  // namespace velkor::test
