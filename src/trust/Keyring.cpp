#include "trust/Keyring.h"

#include <new>

namespace velkor::trust {

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

X509StorePtr Keyring::Store(std::optional<std::int64_t> time) const {
    X509StorePtr store(X509_STORE_new());
    if (!store) {
        throw std::bad_alloc();
    }
    for (const X509Ptr& certificate : objects_.certificates) {
        if (X509_STORE_add_cert(store.get(), certificate.get()) != 1) {
            throw std::bad_alloc();
        }
    }
    for (const X509CrlPtr& crl : objects_.revocationLists) {
        if (X509_STORE_add_crl(store.get(), crl.get()) != 1) {
            throw std::bad_alloc();
        }
    }
    if (HasRevocationLists()) {
        X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL);
    }
    if (time) {
        X509_VERIFY_PARAM_set_time(X509_STORE_get0_param(store.get()), static_cast<time_t>(*time));
    } else {
        X509_STORE_set_flags(store.get(), X509_V_FLAG_NO_CHECK_TIME);
    }
    return store;
}

}  // namespace velkor::trust
