#include "backend/shared/storage/FatParameters.h"

#include <algorithm>

namespace velkor::shared {

bool FitsFields(const FatParameters& fat) {
    return std::all_of(kFatFields.begin(), kFatFields.end(), [&](const FatField& field) {
        const std::uint32_t value = fat.*field.member;
        return value >= field.minimum && value <= field.Maximum();
    });
}

}  // namespace velkor::shared
