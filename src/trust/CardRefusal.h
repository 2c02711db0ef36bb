#pragma once

#include <cstddef>
#include <string_view>

namespace velkor::trust {

// Why a card was refused before anything happened.
enum class CardRefusal {
    KeyringUnreadable,
    ClockNotSet,
    NoManifest,
    ManifestMalformed,
    NoSignature,
    SignatureUnreadable,
    SignerUntrusted,
    CertificateOutOfDate,
    CertificateRevoked,
    RevocationListOutOfDate,
    RevocationUnknown,
    WrongPurpose,
    // A key of the chain, or a digest of a certificate or the signature, is below the device's floor.
    WeakSignature,
    ManifestChanged,
    WrongCompatible,
    InstalledUnreadable,
    OlderVersion,
    VersionReused,
    ImageNotListed,
    ImageChanged,
    // A name on a listed or planned image's path has more than one match in its folder.
    ImageAmbiguous,
};

inline constexpr std::size_t kCardRefusalCount = 21;

// The refusal's short name, as events.log and the debug output give it: "signer-untrusted".
std::string_view CardRefusalName(CardRefusal refusal);

}  // namespace velkor::trust
