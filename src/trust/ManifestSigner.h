#pragma once

#include "trust/OpenSsl.h"

#include <optional>
#include <string>
#include <string_view>

namespace velkor::trust {

// Signs manifests with one signing key and its certificate, as `openssl cms -sign -binary
// -outform DER` does: a detached CMS signature (DER) that carries the signing certificate and any
// intermediates, so that a device holding only the root CA can verify it.
class ManifestSigner {
public:
    // From PEM texts: the private key (which must not be encrypted), its certificate, and the
    // intermediate certificates to include (may be empty). Nothing, with `error`, when one does not
    // read or the key does not belong to the certificate.
    static std::optional<ManifestSigner> FromPem(std::string_view keyPem, std::string_view certificatePem,
                                                 std::string_view chainPem, std::string& error);

    // The DER signature of `content`; nothing, with `error`, when OpenSSL cannot make it.
    std::optional<std::string> Sign(std::string_view content, std::string& error) const;
    // The signing certificate's subject on one line ("CN=Example Update Signer").
    std::string Signer() const { return SubjectText(*certificate_); }

private:
    ManifestSigner(EvpPkeyPtr key, X509Ptr certificate, X509StackPtr chain)
        : key_(std::move(key)), certificate_(std::move(certificate)), chain_(std::move(chain)) {}

    EvpPkeyPtr key_;
    X509Ptr certificate_;
    X509StackPtr chain_;
};

}  // namespace velkor::trust
