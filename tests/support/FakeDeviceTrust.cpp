#include "support/FakeDeviceTrust.h"

#include <fmt/format.h>

namespace velkor::test {

std::optional<std::string> FakeDeviceTrust::ReadKeyring() { return settings.hasKeyring ? keyringPem : std::nullopt; }

std::optional<platform::InstalledRelease> FakeDeviceTrust::ReadInstalled() { return installed; }

void FakeDeviceTrust::ApproveCard(platform::ApprovedCard card) {
    approved.push_back(std::move(card));
    mismatchFound = false;
}

void FakeDeviceTrust::LogCardRefused(std::string_view reason) { events.push_back(fmt::format("card-refused {}", reason)); }

}  // namespace velkor::test
