#include "trust/Keyring.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

namespace velkor::trust {
namespace {

// Some OpenSSL versions answer 0 for an object the store holds already: a duplicate in the
// keyring is harmless, so only other failures refuse the keyring.
bool AddedOrHeld(int added) {
    if (added == 1) {
        return true;
    }
    const unsigned long code = ERR_peek_last_error();
    if (ERR_GET_LIB(code) == ERR_LIB_X509 && ERR_GET_REASON(code) == X509_R_CERT_ALREADY_IN_HASH_TABLE) {
        ERR_clear_error();
        return true;
    }
    return false;
}

}  // namespace

std::optional<Keyring> Keyring::FromPem(std::string_view pem, std::string& error) {
    std::optional<PemObjects> objects = ReadPemObjects(pem, error);
    if (!objects) {
        return std::nullopt;
    }
    if (objects->certificates.empty()) {
        error = "it holds no certificate";
        return std::nullopt;
    }
    return Keyring(std::move(*objects));
}

X509StorePtr Keyring::Store(std::optional<std::int64_t> time, std::string& error) const {
    X509StorePtr store(X509_STORE_new());
    bool filled = store != nullptr;
    for (const X509Ptr& certificate : objects_.certificates) {
        filled = filled && AddedOrHeld(X509_STORE_add_cert(store.get(), certificate.get()));
    }
    for (const X509CrlPtr& crl : objects_.revocationLists) {
        filled = filled && AddedOrHeld(X509_STORE_add_crl(store.get(), crl.get()));
    }
    if (!filled) {
        error = TakeOpenSslError("the keyring's certificates and CRLs cannot be put in a store");
        return nullptr;
    }
    if (HasRevocationLists()) {
        X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL);
    }
    X509_VERIFY_PARAM_set_auth_level(X509_STORE_get0_param(store.get()), kSecurityLevel);
    if (time) {
        X509_VERIFY_PARAM_set_time(X509_STORE_get0_param(store.get()), static_cast<time_t>(*time));
    } else {
        X509_STORE_set_flags(store.get(), X509_V_FLAG_NO_CHECK_TIME);
    }
    return store;
}

}  // namespace velkor::trust
