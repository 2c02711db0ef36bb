#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/board/support/ReapedChild.h"
#include "backend/board/support/TempFolder.h"
#include "backend/board/windows/XcbWindows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

// Starts `program` (a copy of sleep) for a minute and answers its id once it runs the program, or -1.
// With `processId` set, the child gets that id (clone3's set_tid, which needs CAP_SYS_ADMIN); the
// answer is then another id or -1 when it could not be started so.
pid_t StartSleeper(const fs::path& program, pid_t processId) {
    // Closed by the exec: once the read below ends, /proc/PID/exe is the program.
    int execed[2];
    if (::pipe2(execed, O_CLOEXEC) != 0) {
        return -1;
    }
    const shared::UniqueFd readEnd(execed[0]);
    shared::UniqueFd writeEnd(execed[1]);
    const std::string path = program.string();
    char* const argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("60"), nullptr};
    clone_args args{};
    args.exit_signal = SIGCHLD;
    if (processId > 0) {
        args.set_tid = reinterpret_cast<std::uint64_t>(&processId);
        args.set_tid_size = 1;
    }
    const long child = ::syscall(SYS_clone3, &args, sizeof args);
    if (child == 0) {
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    writeEnd = shared::UniqueFd();
    char ignored = 0;
    while (child > 0 && ::read(readEnd.Get(), &ignored, 1) < 0 && errno == EINTR) {
    }
    return child > 0 ? static_cast<pid_t>(child) : -1;
}

// A child running a copy of sleep; killed and reaped when the object goes.
class Child : public ReapedChild {
public:
    explicit Child(const fs::path& program, pid_t processId = 0) : ReapedChild(StartSleeper(program, processId)) {}
};

enum class Reuse { None, ByAnotherProgram, ByAnotherRunOfTheSibling };

struct ReuseCase {
    const char* name;
    Reuse reuse;
    // Whether the process then running under the identified id is ended.
    bool ended;
};

void PrintTo(const ReuseCase& c, std::ostream* os) { *os << c.name; }

class PidReuseTest : public ::testing::TestWithParam<ReuseCase> {};

// The updater identifies a sibling by its module path, asks it to close, and only then ends it: an
// id that meanwhile went to another process must not be ended in its place.
TEST_P(PidReuseTest, EndsOnlyTheProcessThatWasIdentified) {
    const test::TempFolder temp;
    fs::copy_file("/bin/sleep", temp.Path() / "tirnow");
    fs::copy_file("/bin/sleep", temp.Path() / "other");
    shared::ErrorState errors;
    shared::EventLog events(temp.Path() / "events.log");
    XcbWindows windows({{u"\\Windows\\Tirnow.exe", temp.Path() / "tirnow"}}, errors, events);
    Child sibling(temp.Path() / "tirnow");
    const pid_t identified = sibling.Pid();
    ASSERT_GT(identified, 0);
    ASSERT_EQ(windows.GetModuleFileName(static_cast<std::uint32_t>(identified), 260), u"\\Windows\\Tirnow.exe");

    Child* running = &sibling;
    std::optional<Child> successor;
    if (GetParam().reuse != Reuse::None) {
        sibling.Kill();
        successor.emplace(temp.Path() / (GetParam().reuse == Reuse::ByAnotherProgram ? "other" : "tirnow"), identified);
        if (successor->Pid() != identified) {
            GTEST_SKIP() << "the kernel gives no chosen process id here (clone3 set_tid needs CAP_SYS_ADMIN)";
        }
        running = &*successor;
    }
    const std::unique_ptr<platform::ProcessHandle> process =
        windows.OpenProcess(platform::PROCESS_TERMINATE, static_cast<std::uint32_t>(identified));
    if (process) {
        process->Terminate(4);
    }

    EXPECT_EQ(process != nullptr, GetParam().ended);
    EXPECT_EQ(errors.Last(), GetParam().ended ? platform::error::kSuccess : platform::error::kInvalidParameter);
    EXPECT_EQ(running->IsRunning(), !GetParam().ended);
}

INSTANTIATE_TEST_SUITE_P(Processes, PidReuseTest,
                         ::testing::Values(ReuseCase{"StillTheSibling", Reuse::None, true},
                                           ReuseCase{"IdGoneToAnotherProgram", Reuse::ByAnotherProgram, false},
                                           ReuseCase{"IdGoneToAnotherRunOfTheSibling",
                                                     Reuse::ByAnotherRunOfTheSibling, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::board
