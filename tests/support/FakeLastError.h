#pragma once

#include "backend/shared/ErrorState.h"

#include <cstdint>

namespace velkor::test {

// The last error a fake service sets: its own, or the one the fakes of a platform share (pass it to
// each of them), as the device keeps one code for all its services.
class FakeLastError {
public:
    FakeLastError() : errors_(own_) {}
    explicit FakeLastError(shared::ErrorState& shared) : errors_(shared) {}
    FakeLastError(const FakeLastError&) = delete;
    // A fake given a new state keeps setting the last error it set before.
    FakeLastError& operator=(const FakeLastError&) { return *this; }

    std::uint32_t LastError() const { return errors_.Last(); }

protected:
    ~FakeLastError() = default;

    shared::ErrorState& errors_;

private:
    shared::ErrorState own_;
};

}  // namespace velkor::test
