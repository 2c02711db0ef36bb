#pragma once

#include "platform/Platform.h"
#include "trust/CardCheck.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor::trust {

// Stands between the Update button and the update: checks the card before the run does anything,
// reports a refusal to the debug output and events.log, and hands the device what an accepted card
// vouched for (its images, and its release for the commit point to record).
class CardGate {
public:
    CardGate(platform::Platform& platform, std::int64_t buildTime);

    // Nothing when the run may go on; otherwise why the card is refused, already reported.
    // `rows`: the rows the run will carry out; `settings`: the paths they will write.
    std::optional<CardRefusal> Check(std::u16string_view cardRoot, const std::vector<update::ImageKind>& rows,
                                     const update::UpdateSettings& settings);
    // The card the last check accepted with a manifest; nothing otherwise.
    const std::optional<CheckedCard>& Card() const { return card_; }
    // After a row of an approved run failed: false once the device found an image's bytes other
    // than the card lists, so that no further row writes from that card.
    bool RowsGoOn();

private:
    void Debug(std::string_view line);

    platform::Platform& platform_;
    std::int64_t buildTime_;
    std::optional<CheckedCard> card_;
};

}  // namespace velkor::trust
