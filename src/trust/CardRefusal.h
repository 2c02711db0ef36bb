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
    ManifestChanged,
    WrongCompatible,
    InstalledUnreadable,
    OlderVersion,
    VersionReused,
    ImageNotListed,
    ImageChanged,
};

inline constexpr std::size_t kCardRefusalCount = 19;

// The refusal's short name, as events.log and the debug output give it: "signer-untrusted".
std::string_view CardRefusalName(CardRefusal refusal);

}  // namespace velkor::trust
