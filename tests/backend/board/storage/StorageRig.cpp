#include "StorageRig.h"

#include "support/LogTexts.h"
#include "backend/board/support/HostCommand.h"

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

// Long enough for fusefat to end after its unmount on a loaded machine.
constexpr std::chrono::milliseconds kReleaseWait{2000};

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

board::TargetCommands MountCommands(board::CommandLine mount, board::CommandLine unmount) {
    board::TargetCommands commands;
    commands.mount = std::move(mount);
    commands.unmount = std::move(unmount);
    return commands;
}

board::TargetCommands FuseCommands() {
    return MountCommands({"fusefat", "-o", "rw+", "{device}", "{mountPoint}"}, {"fusermount", "-u", "{mountPoint}"});
}

StorageRig::StorageRig(const Volume& volume, const board::TargetCommands& commands,
                       std::chrono::milliseconds commandLimit)
    : stores_{{u"DSK2:", u"BinFLASH", {{u"Part00", u"\\VKRFlash", {}, temp_.Path() / "VKRFlash"}}}},
      commands_(commands),
      runner_(commandLimit),
      events_(temp_.Path() / "events.log"),
      storage_(stores_, commands_, runner_, dismounted_, errors_, events_, kReleaseWait),
      formats_(errors_, events_) {
    unavailable_ = Make(volume);
}

StorageRig::~StorageRig() {
    for (const fs::path& mountPoint : {MountPoint(), AliasMountPoint()}) {
        RunHostCommand("fusermount -u -z " + ShellQuoted(mountPoint.string()));
    }
}

std::string StorageRig::Make(const Volume& volume) {
    if (std::string missing = RootDevicesMissing({"/dev/loop-control", "/dev/fuse"}); !missing.empty()) {
        return missing;
    }
    if (!RunHostCommand("command -v mkfs.fat fsck.fat fusefat fusermount losetup")) {
        return "dosfstools, fusefat, fuse3 and losetup are needed";
    }
    const fs::path file = temp_.Path() / "volume.img";
    MakeSparseFile(file, volume.bytes);
    if (volume.mkfs && !RunHostCommand(std::string("mkfs.fat ") + volume.mkfs + " " + ShellQuoted(file.string()))) {
        return "mkfs.fat could not lay the volume";
    }
    loop_ = std::make_unique<LoopDevice>(file);
    stores_.front().partitions.front().device = loop_->Path();
    fs::create_directory(MountPoint());
    if (loop_->Path().empty()) {
        return "losetup set up no loop device";
    }
    const board::Placeholders placeholders{{"{device}", loop_->Path()}, {"{mountPoint}", MountPoint()}};
    if (volume.mounted && !runner_.Run(FuseCommands().mount, placeholders, errors_)) {
        return "fusefat could not mount the volume";
    }
    return volume.aliasMounted ? MountAlias(file) : std::string();
}

std::string StorageRig::MountAlias(const fs::path& file) {
    aliasLoop_ = std::make_unique<LoopDevice>(file);
    fs::create_directory(AliasMountPoint());
    const board::Placeholders placeholders{{"{device}", aliasLoop_->Path()}, {"{mountPoint}", AliasMountPoint()}};
    if (aliasLoop_->Path().empty() || !runner_.Run(FuseCommands().mount, placeholders, errors_)) {
        return "a second loop device over the volume could not be mounted through fusefat";
    }
    return {};
}

std::unique_ptr<platform::Partition> StorageRig::OpenPartition() {
    store_ = storage_.OpenStore(u"DSK2:");
    return store_->OpenPartition(u"Part00");
}

std::array<std::uint8_t, shared::kBootSectorBytes> StorageRig::FirstSector() const {
    std::array<std::uint8_t, shared::kBootSectorBytes> sector{};
    std::ifstream(partition().device, std::ios::binary).read(reinterpret_cast<char*>(sector.data()), sector.size());
    return sector;
}

std::vector<std::string> StorageRig::Events() const { return LogTexts(ReadText(temp_.Path() / "events.log")); }

std::optional<std::pair<std::uint32_t, std::uint32_t>> StorageRig::CheckedClusters() {
    // A FUSE daemon may still hold writes of its own: the volume is checked once it is let go.
    if (const std::unique_ptr<platform::Partition> mounted = OpenPartition()) {
        mounted->Dismount();
    }
    const std::optional<std::string> report = RunHostCommand("fsck.fat -n " + ShellQuoted(partition().device.string()));
    std::smatch counts;
    if (!report || !std::regex_search(*report, counts, std::regex(R"((\d+)/(\d+) clusters)"))) {
        return std::nullopt;
    }
    return std::pair(static_cast<std::uint32_t>(std::stoul(counts[1])),
                     static_cast<std::uint32_t>(std::stoul(counts[2])));
}

}  // namespace velkor::test
