#include "contract/UnkeptMount.h"

#include "backend/board/support/HostCommand.h"

#include <signal.h>
#include <spawn.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace velkor::test {
namespace {

constexpr long kFuseMagic = 0x65735546;
constexpr auto kMountWait = std::chrono::seconds(10);
constexpr auto kMountPoll = std::chrono::milliseconds(10);

}  // namespace

UnkeptMount::UnkeptMount(const std::filesystem::path& mountPoint) {
    unavailable_ = RootDevicesMissing({"/dev/fuse"});
    if (!unavailable_.empty()) {
        return;
    }
    std::filesystem::create_directories(mountPoint);
    std::string program = VELKOR_TEST_UNKEPTFS;
    std::string folder = mountPoint.string();
    char* arguments[] = {program.data(), folder.data(), nullptr};
    if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, arguments, environ) != 0) {
        pid_ = -1;
        unavailable_ = "velkor_test_unkeptfs did not start";
        return;
    }
    if (!AwaitMount(mountPoint)) {
        unavailable_ = "velkor_test_unkeptfs did not mount (is FUSE there?)";
    }
}

UnkeptMount::~UnkeptMount() {
    if (pid_ > 0) {
        // libfuse unmounts the volume as it ends.
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool UnkeptMount::AwaitMount(const std::filesystem::path& mountPoint) {
    for (auto end = std::chrono::steady_clock::now() + kMountWait; std::chrono::steady_clock::now() < end;) {
        struct statfs info {};
        if (::statfs(mountPoint.c_str(), &info) == 0 && info.f_type == kFuseMagic) {
            return true;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(kMountPoll);
    }
    return false;
}

}  // namespace velkor::test
