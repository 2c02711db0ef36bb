#include "mainwnd/CardRefusalMessage.h"

#include "platform/DeviceText.h"

#include <algorithm>
#include <array>

namespace velkor::mainwnd {
namespace {

using trust::CardRefusal;
using ui::UiStringId;

struct RefusalText {
    CardRefusal refusal;
    UiStringId text;
};
constexpr std::array<RefusalText, trust::kCardRefusalCount> kRefusalTexts{{
    {CardRefusal::KeyringUnreadable, UiStringId::RefusedKeyringUnreadable},
    {CardRefusal::ClockNotSet, UiStringId::RefusedClockNotSet},
    {CardRefusal::NoManifest, UiStringId::RefusedNoManifest},
    {CardRefusal::ManifestMalformed, UiStringId::RefusedManifestMalformed},
    {CardRefusal::NoSignature, UiStringId::RefusedNoSignature},
    {CardRefusal::SignatureUnreadable, UiStringId::RefusedSignatureUnreadable},
    {CardRefusal::SignerUntrusted, UiStringId::RefusedSignerUntrusted},
    {CardRefusal::CertificateOutOfDate, UiStringId::RefusedCertificateOutOfDate},
    {CardRefusal::CertificateRevoked, UiStringId::RefusedCertificateRevoked},
    {CardRefusal::RevocationListOutOfDate, UiStringId::RefusedRevocationListOutOfDate},
    {CardRefusal::RevocationUnknown, UiStringId::RefusedRevocationUnknown},
    {CardRefusal::WrongPurpose, UiStringId::RefusedWrongPurpose},
    {CardRefusal::WeakSignature, UiStringId::RefusedWeakSignature},
    {CardRefusal::ManifestChanged, UiStringId::RefusedManifestChanged},
    {CardRefusal::WrongCompatible, UiStringId::RefusedWrongCompatible},
    {CardRefusal::InstalledUnreadable, UiStringId::RefusedInstalledUnreadable},
    {CardRefusal::OlderVersion, UiStringId::RefusedOlderVersion},
    {CardRefusal::VersionReused, UiStringId::RefusedVersionReused},
    {CardRefusal::ImageNotListed, UiStringId::RefusedImageNotListed},
    {CardRefusal::ImageChanged, UiStringId::RefusedImageChanged},
    {CardRefusal::ImageAmbiguous, UiStringId::RefusedImageAmbiguous},
}};

}  // namespace

std::u16string CardRefusalMessage(const ui::UiStrings& strings, CardRefusal refusal) {
    const auto entry = std::find_if(kRefusalTexts.begin(), kRefusalTexts.end(),
                                    [&](const RefusalText& candidate) { return candidate.refusal == refusal; });
    return platform::Format(strings[UiStringId::CardRefusedPattern], strings[entry->text]);
}

}  // namespace velkor::mainwnd
