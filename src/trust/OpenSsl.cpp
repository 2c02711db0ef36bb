#include "trust/OpenSsl.h"

#include <openssl/err.h>

#include <climits>
#include <new>

namespace velkor::trust {

BioPtr MemoryBio(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        throw std::bad_alloc();
    }
    // An empty view may have no data at all, which OpenSSL refuses.
    BioPtr bio(BIO_new_mem_buf(bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size())));
    if (!bio) {
        throw std::bad_alloc();
    }
    return bio;
}

std::string TakeOpenSslError(std::string_view fallback) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return std::string(fallback);
    }
    const char* reason = ERR_reason_error_string(code);
    return reason ? reason : std::string(fallback);
}

std::string SubjectText(const X509& certificate) {
    const BioPtr out(BIO_new(BIO_s_mem()));
    if (!out || X509_NAME_print_ex(out.get(), X509_get_subject_name(&certificate), 0, XN_FLAG_ONELINE) < 0) {
        return "?";
    }
    char* text = nullptr;
    const long length = BIO_get_mem_data(out.get(), &text);
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace velkor::trust
