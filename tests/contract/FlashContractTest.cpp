#include "contract/FlashRigs.h"
#include "platform/ErrorCodes.h"
#include "platform/FlashControlCodes.h"
#include "support/RandomBytes.h"

#include <functional>

namespace velkor::test {
namespace {

constexpr std::u16string_view kFlash = u"\\VKRFlash\\Vol:";
// A code of the driver's device type that names no request.
constexpr std::uint32_t kUnknownCode = platform::FlashControlCode(0x839);

// Opens devices and sends them codes, answering each call as text: what it gave, or that it
// failed and the last error then ("0 error 112").
class FlashProbe {
public:
    explicit FlashProbe(FlashRig& rig) : rig_(rig) {}

    std::string Open(std::u16string_view name) {
        handles_.push_back(rig_.Devices().OpenDevice(name, platform::kGenericRead | platform::kGenericWrite,
                                                     platform::kShareExclusive));
        return handles_.back() ? "handle" : Failed("null");
    }
    std::string CloseFirst() {
        handles_.erase(handles_.begin());
        return "closed";
    }
    // The image \Card\<file> for the OS region, with its path as the driver's convention has it
    // (declared size 0) or with `inputSize` declared.
    std::string WriteOs(std::u16string_view file, std::uint32_t inputSize = 0) {
        const std::u16string path = u"\\Card\\" + std::u16string(file);
        return Answer(handles_.back()->Control(platform::IOCTL_FLASH_WRITE_OS, path.c_str(), inputSize, nullptr, 0,
                                               nullptr));
    }
    std::string Send(std::uint32_t code) { return Answer(handles_.back()->Control(code, nullptr, 0, nullptr, 0, nullptr)); }
    // Whether the OS region starts with `image` now.
    std::string RegionHolds(const std::string& image) { return rig_.OsRegion(image.size()) == image ? "holds it" : "not"; }

private:
    std::string Answer(int answer) { return answer != 0 ? fmt::format("{}", answer) : Failed("0"); }
    std::string Failed(std::string_view what) { return FailedAnswer(what, rig_.LastError()); }

    FlashRig& rig_;
    std::vector<std::unique_ptr<platform::DeviceHandle>> handles_;
};

struct FlashCase {
    const char* name;
    Arrangements needs;
    std::function<Lines(FlashRig&, FlashProbe&)> calls;
    Lines answers;
};

class FlashContract : public ContractSuite<FlashRig, FlashCase> {};

TEST_P(FlashContract, AnswersAsTheDeviceDoes) {
    const auto& [maker, c] = GetParam();
    const std::unique_ptr<FlashRig> rig = maker.make(c.needs);
    if (!rig->Unavailable().empty()) {
        GTEST_SKIP() << rig->Unavailable();
    }
    FlashProbe probe(*rig);

    EXPECT_EQ(c.calls(*rig, probe), c.answers);
}

const FlashCase kCases[] = {
    {"ADeviceThatIsNotThereIsNotFound", 0,
     [](FlashRig&, FlashProbe& p) { return Lines{p.Open(u"\\Nowhere\\Vol:")}; },
     {"null error 2"}},
    {"AnImageIsWrittenOverTheStartOfItsRegion", kFlashDriver,
     [](FlashRig& r, FlashProbe& p) {
         const std::string image = RandomBytes(kOsRegionBytes / 2 + 3, 1);
         r.PutImage("os.bin", image);
         return Lines{p.Open(kFlash), p.WriteOs(u"os.bin"), p.RegionHolds(image)};
     },
     {"handle", "1", "holds it"}},
    {"AnImageLargerThanItsRegionIsRefusedUnwritten", kFlashDriver,
     [](FlashRig& r, FlashProbe& p) {
         const std::string before = r.OsRegion(kOsRegionBytes);
         r.PutImage("big.bin", RandomBytes(kOsRegionBytes + 1, 2));
         return Lines{p.Open(kFlash), p.WriteOs(u"big.bin"), p.RegionHolds(before)};
     },
     {"handle", "0 error 112", "holds it"}},
    {"AMissingImageIsNotFound", kFlashDriver,
     [](FlashRig&, FlashProbe& p) { return Lines{p.Open(kFlash), p.WriteOs(u"none.bin")}; },
     {"handle", "0 error 2"}},
    {"RequestsOutsideTheConventionAreRefused", kFlashDriver,
     [](FlashRig& r, FlashProbe& p) {
         r.PutImage("os.bin", RandomBytes(16, 3));
         return Lines{p.Open(kFlash), p.WriteOs(u"os.bin", 16), p.Send(platform::IOCTL_FLASH_WRITE_OS),
                      p.Send(kUnknownCode), p.Send(platform::IOCTL_FLASH_RESET)};
     },
     {"handle", "0 error 87", "0 error 87", "0 error 50", "1"}},
    {"TheDriverTakesOneHandleAtATime", kFlashDriver,
     [](FlashRig&, FlashProbe& p) {
         return Lines{p.Open(kFlash), p.Open(kFlash), p.CloseFirst(), p.Open(kFlash)};
     },
     {"handle", "null error 32", "closed", "handle"}},
};

INSTANTIATE_TEST_SUITE_P(Implementations, FlashContract,
                         ::testing::ValuesIn(FlashContract::Pairings(FlashRigs(), kCases)), FlashContract::Name);

}  // namespace
}  // namespace velkor::test
