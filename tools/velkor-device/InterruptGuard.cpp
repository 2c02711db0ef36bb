#include "velkor-device/InterruptGuard.h"

#include <unistd.h>

#include <csignal>
#include <string_view>

namespace velkor::device_tool {
namespace {

// A signal handler reaches nothing but static storage.
volatile std::sig_atomic_t noted = 0;

void Note(int signal) { noted = signal; }

}  // namespace

InterruptGuard::InterruptGuard() {
    noted = 0;
    struct sigaction noting {};
    noting.sa_handler = Note;
    noting.sa_flags = SA_RESTART;
    sigemptyset(&noting.sa_mask);
    for (std::size_t index = 0; index < kSignals.size(); ++index) {
        ::sigaction(kSignals[index], nullptr, &previous_[index]);
        // A signal ignored by whoever started the program (nohup) stays ignored.
        if (previous_[index].sa_handler != SIG_IGN) {
            ::sigaction(kSignals[index], &noting, nullptr);
        }
    }
}

InterruptGuard::~InterruptGuard() {
    for (std::size_t index = 0; index < kSignals.size(); ++index) {
        ::sigaction(kSignals[index], &previous_[index], nullptr);
    }
    if (const int signal = noted; signal != 0) {
        constexpr std::string_view kMessage = "velkor-device: interrupted; nothing it made is left behind\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kMessage.data(), kMessage.size());
        ::raise(signal);
    }
}

void InterruptGuard::Check() const {
    if (noted != 0) {
        throw Interrupted();
    }
}

}  // namespace velkor::device_tool
