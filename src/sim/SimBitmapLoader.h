#pragma once

#include "platform/BitmapLoader.h"
#include "sim/ErrorState.h"

namespace velkor::sim {

// (Scaffold: loads nothing yet.)
class SimBitmapLoader : public platform::BitmapLoader {
public:
    explicit SimBitmapLoader(ErrorState& errors) : errors_(errors) {}

    std::unique_ptr<platform::Bitmap> LoadDIBitmap(std::u16string_view) override {
        errors_.Fail(platform::error::kNotSupported);
        return nullptr;
    }

private:
    ErrorState& errors_;
};

}  // namespace velkor::sim
