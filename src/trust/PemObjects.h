#pragma once

#include "trust/OpenSsl.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::trust {

// The certificates and certificate revocation lists of a PEM text, in their order.
struct PemObjects {
    std::vector<X509Ptr> certificates;
    std::vector<X509CrlPtr> revocationLists;
};

// Every PEM block of `pem`; text between blocks (comments, `openssl x509 -text` output) is
// ignored. Nothing, with `error` saying why, when a block is neither a certificate nor a CRL
// (a private key does not belong here) or does not decode.
std::optional<PemObjects> ReadPemObjects(std::string_view pem, std::string& error);

}  // namespace velkor::trust
