#pragma once

#include "platform/FormatLibrary.h"
#include "sim/ErrorState.h"

namespace velkor::sim {

// (Scaffold: no library loads.)
class SimFormatLibrary : public platform::FormatLibrary {
public:
    explicit SimFormatLibrary(ErrorState& errors) : errors_(errors) {}

    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view) override {
        errors_.Fail(platform::error::kModuleNotFound);
        return nullptr;
    }

private:
    ErrorState& errors_;
};

}  // namespace velkor::sim
