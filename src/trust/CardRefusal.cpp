#include "trust/CardRefusal.h"

#include <array>

namespace velkor::trust {
namespace {

// Indexed by CardRefusal.
constexpr std::array<std::string_view, kCardRefusalCount> kNames{
    "keyring-unreadable",   "clock-not-set",       "no-manifest",        "manifest-malformed", "no-signature",
    "signature-unreadable", "signer-untrusted",    "certificate-out-of-date", "certificate-revoked",
    "crl-out-of-date",      "crl-missing",         "signer-purpose",     "weak-signature",     "manifest-changed",   "wrong-compatible",
    "installed-unreadable", "older-version",       "version-reused",     "image-not-listed",   "image-changed",      "image-ambiguous",
};

}  // namespace

std::string_view CardRefusalName(CardRefusal refusal) { return kNames.at(static_cast<std::size_t>(refusal)); }

}  // namespace velkor::trust
