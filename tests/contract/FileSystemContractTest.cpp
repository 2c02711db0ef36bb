#include "contract/FileSystemRigs.h"
#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"

#include <fmt/ranges.h>

#include <array>
#include <functional>
#include <set>

namespace velkor::test {
namespace {

using platform::FileMode;

// Calls the file system and answers each call as text: what it gave, or where it failed and the
// last error then ("0 error 2", "open error 5").
class FileSystemProbe {
public:
    explicit FileSystemProbe(FileSystemRig& rig) : rig_(rig), files_(rig.Files()) {}

    std::string Kind(std::u16string_view path) {
        const std::uint32_t attributes = files_.GetAttributes(path);
        if (attributes == platform::kInvalidFileAttributes) {
            return Failed("none");
        }
        return (attributes & platform::kFileAttributeDirectory) != 0 ? "folder" : "file";
    }
    std::string MakeFolder(std::u16string_view path) { return Done(files_.CreateDirectory(path)); }
    std::string Copy(std::u16string_view from, std::u16string_view to) { return Done(files_.CopyFile(from, to)); }
    std::string Delete(std::u16string_view path) { return Done(files_.DeleteFile(path)); }
    std::string Move(std::u16string_view from, std::u16string_view to) { return Done(files_.MoveFile(from, to)); }

    // Opens, writes and closes.
    std::string Write(std::u16string_view path, FileMode mode, std::string_view bytes) {
        const std::unique_ptr<platform::File> file = files_.OpenFile(path, mode);
        if (!file) {
            return Failed("open");
        }
        if (!file->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
            return Failed("write");
        }
        return file->Close() ? "written" : Failed("close");
    }
    // What the file holds from `offset` on.
    std::string Read(std::u16string_view path, FileMode mode = FileMode::Read, std::uint64_t offset = 0) {
        const std::unique_ptr<platform::File> file = files_.OpenFile(path, mode);
        if (!file) {
            return Failed("open");
        }
        std::array<char, 64> buffer{};
        std::uint32_t bytesRead = 0;
        if (!file->Seek(offset) || !file->Read(buffer.data(), buffer.size(), bytesRead)) {
            return Failed("read");
        }
        return fmt::format("\"{}\"", std::string_view(buffer.data(), bytesRead));
    }
    std::string WriteThroughReadOnly(std::u16string_view path) {
        const std::unique_ptr<platform::File> file = files_.OpenFile(path, FileMode::Read);
        return file && file->Write("x", 1) ? "written" : Failed("write");
    }
    // The entries (of `only`, when given) in name order, whatever order the search gave them in,
    // and the error that ended the search.
    std::string List(std::u16string_view pattern, const std::set<std::u16string>& only = {}) {
        platform::FindData entry;
        std::unique_ptr<platform::FolderSearch> search = files_.FindFirstFile(pattern, entry);
        if (!search) {
            return Failed("none");
        }
        std::set<std::string> entries;
        for (bool more = true; more; more = search->FindNext(entry)) {
            if (only.empty() || only.count(entry.name)) {
                entries.insert(Describe(entry));
            }
        }
        return fmt::format("{}; then error {}", fmt::join(entries, ", "), rig_.LastError());
    }

private:
    static std::string Describe(const platform::FindData& entry) {
        const std::string name = platform::ToUtf8(entry.name);
        if ((entry.attributes & platform::kFileAttributeDirectory) != 0) {
            return name + " folder";
        }
        return fmt::format("{} file {}", name, entry.size);
    }
    std::string Done(bool done) { return done ? "1" : Failed("0"); }
    std::string Failed(std::string_view what) { return FailedAnswer(what, rig_.LastError()); }

    FileSystemRig& rig_;
    platform::FileSystem& files_;
};

struct FileSystemCase {
    const char* name;
    Arrangements needs;
    std::function<Lines(FileSystemRig&, FileSystemProbe&)> calls;
    Lines answers;
};

class FileSystemContract : public ContractSuite<FileSystemRig, FileSystemCase> {};

TEST_P(FileSystemContract, AnswersAsTheDeviceDoes) {
    const auto& [maker, c] = GetParam();
    const std::unique_ptr<FileSystemRig> rig = maker.make(c.needs);
    if (!rig->Unavailable().empty()) {
        GTEST_SKIP() << rig->Unavailable();
    }
    FileSystemProbe probe(*rig);

    EXPECT_EQ(c.calls(*rig, probe), c.answers);
}

const FileSystemCase kCases[] = {
    {"MissingNamesAreNotFound", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Kind(u"\\Card\\None.bin"), p.Kind(u"\\None\\x.bin"), p.Kind(u"\\Card\\Image.bin\\x"),
                      p.Read(u"\\Card\\None.bin"), p.Read(u"\\None\\x.bin"), p.Delete(u"\\Card\\None.bin")};
     },
     {"none error 2", "none error 3", "none error 3", "open error 2", "open error 3", "0 error 2"}},
    {"FoldersAreNotFiles", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Read(u"\\Card\\Sub"), p.Write(u"\\Card\\Sub", FileMode::CreateTruncate, ""),
                      p.Delete(u"\\Card\\Sub"), p.Copy(u"\\Card\\Sub", u"\\Card\\X.bin"),
                      p.Copy(u"\\Card\\Image.bin", u"\\Card\\Sub"), p.Kind(u"\\Card\\Sub")};
     },
     {"open error 5", "open error 5", "0 error 5", "0 error 5", "0 error 5", "folder"}},
    {"FoldersAreMadeOneLevelAtATime", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.MakeFolder(u"\\Card\\New"), p.MakeFolder(u"\\Card\\NEW"), p.MakeFolder(u"\\Card\\Image.bin"),
                      p.MakeFolder(u"\\None\\New"), p.Kind(u"\\card\\new")};
     },
     {"1", "0 error 183", "0 error 183", "0 error 3", "folder"}},
    {"FilesAreMadeReplacedAndReadInAnyCase", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Write(u"\\Card\\A.bin", FileMode::CreateNew, "one"),
                      p.Write(u"\\Card\\a.BIN", FileMode::CreateNew, "x"),
                      p.Write(u"\\card\\a.bin", FileMode::CreateTruncate, "two"), p.Read(u"\\CARD\\A.BIN"),
                      p.Write(u"\\None\\b.bin", FileMode::CreateTruncate, ""), p.Kind(u"\\Card\\A.bin")};
     },
     {"written", "open error 183", "written", "\"two\"", "open error 3", "file"}},
    {"FilesDoOnlyWhatTheyWereOpenedFor", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.WriteThroughReadOnly(u"\\Card\\Image.bin"), p.Read(u"\\Card\\W.bin", FileMode::CreateTruncate),
                      p.Read(u"\\Card\\Image.bin", FileMode::Read, 100), p.Read(u"\\Card\\Image.bin", FileMode::ReadWrite, 2)};
     },
     {"write error 5", "read error 5", "\"\"", "\"age\""}},
    {"CopiesReplaceTheirTarget", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Copy(u"\\Card\\Image.bin", u"\\Data\\Copy.bin"), p.Read(u"\\Data\\Copy.bin"),
                      p.Write(u"\\Data\\Copy.bin", FileMode::CreateTruncate, "older and longer"),
                      p.Copy(u"\\card\\IMAGE.bin", u"\\Data\\COPY.bin"), p.Read(u"\\Data\\Copy.bin")};
     },
     {"1", "\"image\"", "written", "1", "\"image\""}},
    {"ACopyOntoItselfInAnotherCaseChangesNothing", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Copy(u"\\Card\\Image.bin", u"\\CARD\\image.BIN"), p.Read(u"\\Card\\Image.bin")};
     },
     {"0 error 32", "\"image\""}},
    {"ACopyOntoItselfUnderASecondNameChangesNothing", kSecondName,
     [](FileSystemRig& r, FileSystemProbe& p) {
         const std::u16string second = r.SecondName();
         return Lines{p.Copy(u"\\Card\\Image.bin", second), p.Copy(second, u"\\Card\\Image.bin"),
                      p.Read(u"\\Card\\Image.bin")};
     },
     {"0 error 32", "0 error 32", "\"image\""}},
    {"CopiesOfWhatIsNotThere", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Copy(u"\\Card\\None.bin", u"\\Data\\X.bin"), p.Kind(u"\\Data\\X.bin"),
                      p.Copy(u"\\Card\\Image.bin", u"\\None\\X.bin")};
     },
     {"0 error 2", "none error 2", "0 error 3"}},
    {"MovesRenameWithinAFolder", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Move(u"\\Card\\Image.bin", u"\\card\\Moved.bin"), p.Kind(u"\\Card\\Image.bin"),
                      p.Read(u"\\Card\\MOVED.bin"), p.Move(u"\\Card\\None.bin", u"\\Card\\X.bin"),
                      p.Move(u"\\Card\\Moved.bin", u"\\None\\X.bin")};
     },
     {"1", "none error 2", "\"image\"", "0 error 2", "0 error 3"}},
    {"AListingHoldsEachEntryOnceInNoPromisedOrder", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.Write(u"\\Card\\B.bin", FileMode::CreateTruncate, "bb"), p.List(u"\\Card\\*.*")};
     },
     {"written", "B.bin file 2, Image.bin file 5, Sub folder; then error 18"}},
    {"TheRootListsItsFolders", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.List(u"\\*.*", {u"Card", u"Data"}), p.List(u"*.*", {u"Card", u"Data"})};
     },
     {"Card folder, Data folder; then error 18", "Card folder, Data folder; then error 18"}},
    {"SearchPatternsOtherThanEveryNameAreRefused", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.List(u"\\Card\\*.bin"), p.List(u"\\Card"), p.List(u""), p.List(u"\\Ca*\\*.*"),
                      p.List(u"\\*.txt")};
     },
     {"none error 87", "none error 87", "none error 87", "none error 87", "none error 87"}},
    {"SearchesOfNoFolderOrAnEmptyOne", 0,
     [](FileSystemRig&, FileSystemProbe& p) {
         return Lines{p.List(u"\\None\\*.*"), p.List(u"\\Card\\Image.bin\\*.*"), p.List(u"\\Data\\*.*")};
     },
     {"none error 3", "none error 3", "none error 2"}},
    {"AFileTheDeviceCannotKeepFailsAndGoes", kUnkeptFolder,
     [](FileSystemRig& r, FileSystemProbe& p) {
         const std::u16string unkept = r.UnkeptFolder();
         return Lines{p.Write(unkept + u"\\A.bin", FileMode::CreateTruncate, "a"),
                      p.Copy(u"\\Card\\Image.bin", unkept + u"\\Copy.bin"), p.Kind(unkept + u"\\Copy.bin")};
     },
     {"close error 5", "0 error 5", "none error 2"}},
};

INSTANTIATE_TEST_SUITE_P(Implementations, FileSystemContract,
                         ::testing::ValuesIn(FileSystemContract::Pairings(FileSystemRigs(), kCases)),
                         FileSystemContract::Name);

}  // namespace
}  // namespace velkor::test
