#pragma once

#include "trust/Keyring.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::trust {

enum class SignatureVerdict {
    Valid,
    // Not a CMS signature that can be read.
    Unreadable,
    // No chain from the signer to a certificate of the keyring.
    SignerUntrusted,
    // A certificate of the chain has expired or is not valid yet.
    CertificateOutOfDate,
    Revoked,
    // A CRL of the keyring is past its next update (or not valid yet).
    RevocationListOutOfDate,
    // The keyring holds CRLs, but none that can vouch for a certificate of the chain.
    RevocationUnknown,
    // A certificate may not sign: the S/MIME signing purpose needs key usage digitalSignature and
    // no extended key usage other than one that includes emailProtection.
    WrongPurpose,
    // The signature does not match the manifest's bytes.
    ContentChanged,
    // A key of the chain is too small, or a certificate or the signature uses a weak digest.
    Weak,
    // The keyring's objects do not go into a store.
    KeyringUnusable,
};

struct SignatureCheck {
    SignatureVerdict verdict = SignatureVerdict::Unreadable;
    // OpenSSL's reason when the verdict is not Valid.
    std::string detail;
    // The signing certificate's subject when it is.
    std::string signer;
};

// Verifies `signatureDer`, a detached CMS signature of `content`, as `openssl cms -verify -binary
// -inform DER -content FILE -CAfile KEYRING` does: the signer chains to the keyring for the S/MIME
// signing purpose, at `time` (seconds since the epoch) or without validity times when nothing; its
// keys and digests are held to the keyring's security level (Keyring::Store), and the signature's
// own digest must be SHA-224 or stronger.
SignatureCheck CheckSignature(const Keyring& keyring, std::string_view content, std::string_view signatureDer,
                              std::optional<std::int64_t> time);

}  // namespace velkor::trust
