#pragma once

#include "platform/Platform.h"

#include <memory>

namespace velkor::test {

// A platform whose device drivers, storage manager and format library are those of another one,
// counting the handles they hand out (devices, store and partition searches, stores, partitions,
// libraries) that are still open.
class HandleCountingPlatform {
public:
    explicit HandleCountingPlatform(platform::Platform& inner);
    ~HandleCountingPlatform();

    platform::Platform& platform() { return platform_; }
    int OpenHandles() const { return open_; }
    int HandlesOpened() const { return opened_; }

    // Held by every handed-out handle for as long as it is open.
    class Ticket {
    public:
        explicit Ticket(HandleCountingPlatform& owner) : owner_(owner) {
            ++owner_.open_;
            ++owner_.opened_;
        }
        ~Ticket() { --owner_.open_; }
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;

        HandleCountingPlatform& Owner() const { return owner_; }

    private:
        HandleCountingPlatform& owner_;
    };

private:
    class CountingDeviceIo;
    class CountingStorageManager;
    class CountingFormatLibrary;

    int open_ = 0;
    int opened_ = 0;
    std::unique_ptr<CountingDeviceIo> deviceIo_;
    std::unique_ptr<CountingStorageManager> storageManager_;
    std::unique_ptr<CountingFormatLibrary> formatLibrary_;
    platform::Platform platform_;
};

}  // namespace velkor::test
