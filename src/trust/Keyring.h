#pragma once

#include "trust/OpenSsl.h"
#include "trust/PemObjects.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::trust {

// The CA certificates a device trusts, several so that a signing CA can be rotated with overlap,
// and the CRLs that come with them.
class Keyring {
public:
    // Nothing, with `error` saying why, when the text is not PEM certificates and CRLs or holds no
    // certificate.
    static std::optional<Keyring> FromPem(std::string_view pem, std::string& error);

    std::size_t CertificateCount() const { return objects_.certificates.size(); }
    std::size_t RevocationListCount() const { return objects_.revocationLists.size(); }
    bool HasRevocationLists() const { return !objects_.revocationLists.empty(); }

    // A store of the keyring for one verification. CRLs are checked for every certificate of a
    // chain exactly when the keyring holds some. `time` is the moment validity is judged at, in
    // seconds since the epoch; nothing leaves every validity time unchecked (the CRLs' too). Chains
    // are held to OpenSSL's security level kSecurityLevel: RSA and DSA keys of 2048 bits or more, EC
    // keys of 224 or more, no MD5 or SHA-1 in a certificate's signature. Null, with `error` saying
    // why, when the store cannot take the keyring's objects.
    X509StorePtr Store(std::optional<std::int64_t> time, std::string& error) const;

    static constexpr int kSecurityLevel = 2;

private:
    explicit Keyring(PemObjects objects) : objects_(std::move(objects)) {}

    PemObjects objects_;
};

}  // namespace velkor::trust
