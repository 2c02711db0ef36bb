#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace velkor::platform {

// Access rights a device is opened with.
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
// A share mode of 0 asks for the device to oneself.
inline constexpr std::uint32_t kShareExclusive = 0;

// An open device; destroying the object closes it.
class DeviceHandle {
public:
    virtual ~DeviceHandle() = default;

    // Sends one control code. `input` and `inputSize` are passed to the driver as given (a driver
    // may read past a declared size of 0, up to a terminator its convention names); `output`
    // receives at most `outputSize` bytes and `bytesReturned`, when not null, their count.
    // Returns the driver's answer: nonzero when it carried out the request, 0 with the last
    // error set when it did not.
    virtual int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                        std::uint32_t outputSize, std::uint32_t* bytesReturned) = 0;
};

// What a device answers before an update's first effect (DeviceIo::StartUpdate).
enum class UpdateStart {
    Go,
    // Nothing may be written now, with the last error set: the device could not keep a bootable,
    // confirmed fallback through the update.
    Refused,
    // An unattended update's card installs the generation the device already runs, confirmed:
    // there is nothing to write.
    AlreadyRunning,
};

// The device's drivers, reached by device path ("\VKRFlash\Vol:"). Failures set the platform's
// last-error code.
class DeviceIo {
public:
    virtual ~DeviceIo() = default;

    // Null when the device does not open (2 when there is no such device, 32 when it is taken).
    virtual std::unique_ptr<DeviceHandle> OpenDevice(std::u16string_view path, std::uint32_t access,
                                                     std::uint32_t shareMode) = 0;

    // The commit point, once an update's last row has run: the drivers make what the update wrote
    // the images the device boots and, when `wholeUpdate` (every chosen row succeeded), record the
    // release of the approved card (DeviceTrust::ApproveCard) with it, in one store where the device
    // has two-slot regions. A device without drivers of its own has nothing to commit, so this
    // default answers 1. Nonzero when done; 0 with the last error set when not.
    virtual int CommitUpdate([[maybe_unused]] bool wholeUpdate) { return 1; }
    // An image row of `controlCode` failed, wherever it failed (before its request reached the
    // driver, too): a device with two-slot regions then writes the other slot no more and its commit
    // point switches nothing. A device without drivers of its own has nothing to note.
    virtual void ImageFailed([[maybe_unused]] std::uint32_t controlCode) {}
    // Before an update's first effect, once its card was approved (DeviceTrust::ApproveCard): whether
    // the device can take it now. `unattended`: the card's AutoUpdate folder started it. A device
    // without drivers of its own takes every update.
    virtual UpdateStart StartUpdate([[maybe_unused]] bool unattended) { return UpdateStart::Go; }
};

}  // namespace velkor::platform
