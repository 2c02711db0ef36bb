#include "contract/FileSystemRigs.h"

#include "backend/board/TargetFileSystem.h"
#include "backend/board/support/FatVolume.h"
#include "backend/board/support/TempFolder.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/TempDevice.h"
#include "contract/UnkeptMount.h"
#include "support/FakeFileSystem.h"
#include "support/ProgramRun.h"

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kFatImageBytes = 16 * 1024 * 1024;

// The contract's layout below a host folder.
void LayOut(const fs::path& card, const fs::path& data) {
    fs::create_directories(card / "Sub");
    fs::create_directories(data);
    WriteHostFile(card / "Image.bin", "image");
}

class FakeRig : public FileSystemRig {
public:
    FakeRig() {
        files_.AddFile(u"\\Card\\Image.bin", "image");
        files_.AddDirectory(u"\\Card\\Sub");
        files_.AddDirectory(u"\\Data");
    }

    platform::FileSystem& Files() override { return files_; }
    std::uint32_t LastError() override { return files_.LastError(); }
    std::u16string UnkeptFolder() override {
        files_.AddDirectory(u"\\Unkept");
        files_.FailCloses();
        return u"\\Unkept";
    }

private:
    FakeFileSystem files_;
};

// A second name through a link in DIR/root.
class SimRig : public FileSystemRig {
public:
    SimRig() {
        LayOut(device_.Root() / "Card", device_.Root() / "Data");
        fs::create_directory_symlink("Card", device_.Root() / "Alias");
        platform_.emplace(device_.Dir());
    }

    platform::FileSystem& Files() override { return platform_->platform().fileSystem; }
    std::uint32_t LastError() override { return platform_->platform().system.GetLastError(); }
    std::u16string SecondName() override { return u"\\Alias\\Image.bin"; }

private:
    sim::test::TempDevice device_;
    std::optional<sim::SimPlatform> platform_;
};

// The target's folders on host folders, with a second folder name for \Card's host folder.
class BoardFoldersRig : public FileSystemRig {
public:
    BoardFoldersRig() {
        LayOut(temp_.Path() / "card", temp_.Path() / "data");
        files_.emplace(std::vector<board::FolderMapping>{{u"Card", temp_.Path() / "card"},
                                                         {u"Data", temp_.Path() / "data"},
                                                         {u"Alias", temp_.Path() / "card"}},
                       dismounted_, errors_);
    }

    platform::FileSystem& Files() override { return *files_; }
    std::uint32_t LastError() override { return errors_.Last(); }
    std::u16string SecondName() override { return u"\\Alias\\Image.bin"; }

private:
    TempFolder temp_;
    shared::ErrorState errors_;
    shared::DismountedFolders dismounted_;
    std::optional<board::TargetFileSystem> files_;
};

// The target's folders on a FAT volume (a loop device over an image the rig made, mounted through
// fusefat), with a second folder name for \Card, and \Unkept on velkor_test_unkeptfs.
class BoardFatRig : public FileSystemRig {
public:
    BoardFatRig()
        : unkept_(temp_.Path() / "unkept"), volume_(temp_.Path() / "fat.img", kFatImageBytes, "", Volume()) {
        if (!Unavailable().empty()) {
            return;
        }
        LayOut(Volume() / "Card", Volume() / "Data");
        files_.emplace(std::vector<board::FolderMapping>{{u"Card", Volume() / "Card"},
                                                         {u"Data", Volume() / "Data"},
                                                         {u"Alias", Volume() / "Card"},
                                                         {u"Unkept", temp_.Path() / "unkept"}},
                       dismounted_, errors_);
    }

    std::string Unavailable() const override {
        return unkept_.Unavailable().empty() ? volume_.Unavailable() : unkept_.Unavailable();
    }
    platform::FileSystem& Files() override { return *files_; }
    std::uint32_t LastError() override { return errors_.Last(); }
    std::u16string SecondName() override { return u"\\Alias\\Image.bin"; }
    std::u16string UnkeptFolder() override { return u"\\Unkept"; }

private:
    fs::path Volume() const { return temp_.Path() / "volume"; }

    // Declared first, so that it goes last, once nothing is mounted in it.
    TempFolder temp_;
    UnkeptMount unkept_;
    FatVolume volume_;
    shared::ErrorState errors_;
    shared::DismountedFolders dismounted_;
    std::optional<board::TargetFileSystem> files_;
};

}  // namespace

std::vector<RigMaker<FileSystemRig>> FileSystemRigs() {
    return {MakerOf<FileSystemRig, FakeRig>("Fake", kUnkeptFolder), MakerOf<FileSystemRig, SimRig>("Sim", kSecondName),
            MakerOf<FileSystemRig, BoardFoldersRig>("BoardFolders", kSecondName),
            MakerOf<FileSystemRig, BoardFatRig>("BoardFat", kSecondName | kUnkeptFolder)};
}

}  // namespace velkor::test
