#include "openssl_reference.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace otpcli::test {
namespace {

struct CipherFree {
    void operator()(EVP_CIPHER* cipher) const { EVP_CIPHER_free(cipher); }
};
struct ContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Cipher = std::unique_ptr<EVP_CIPHER, CipherFree>;
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

// Loading any provider by hand turns off the implicit default one, so both are
// loaded, once, and unloaded when the process ends.
class Providers {
  public:
    Providers()
        : legacy_(OSSL_PROVIDER_load(nullptr, "legacy")),
          default_(OSSL_PROVIDER_load(nullptr, "default")) {}
    ~Providers() {
        for (OSSL_PROVIDER* provider : {legacy_, default_}) {
            if (provider != nullptr) {
                OSSL_PROVIDER_unload(provider);
            }
        }
    }
    Providers(const Providers&) = delete;
    Providers& operator=(const Providers&) = delete;

    bool loaded() const { return legacy_ != nullptr && default_ != nullptr; }

  private:
    OSSL_PROVIDER* legacy_;
    OSSL_PROVIDER* default_;
};

bool loadProviders() {
    static const Providers providers;
    return providers.loaded();
}

Cipher fetch(const char* name) {
    if (!loadProviders()) {
        return nullptr;
    }
    return Cipher(EVP_CIPHER_fetch(nullptr, name, nullptr));
}

std::vector<unsigned char> encrypt(const char* name, bool pad, const unsigned char* key,
                                   const unsigned char* iv, const unsigned char* data,
                                   std::size_t size) {
    const Cipher cipher = fetch(name);
    const Context context(EVP_CIPHER_CTX_new());
    if (!cipher || !context ||
        EVP_EncryptInit_ex2(context.get(), cipher.get(), key, iv, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), pad ? 1 : 0) != 1) {
        throw std::runtime_error(std::string("OpenSSL cannot encrypt with ") + name);
    }
    std::vector<unsigned char> out(size + 16);
    int written = 0;
    int last = 0;
    if (EVP_EncryptUpdate(context.get(), out.data(), &written, data, static_cast<int>(size)) != 1 ||
        EVP_EncryptFinal_ex(context.get(), out.data() + written, &last) != 1) {
        throw std::runtime_error(std::string("OpenSSL failed to encrypt with ") + name);
    }
    out.resize(static_cast<std::size_t>(written + last));
    return out;
}

}  // namespace

std::array<unsigned char, 20> opensslSha1(const void* data, std::size_t size) {
    std::array<unsigned char, 20> digest{};
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest.data(), &length, EVP_sha1(), nullptr) != 1 ||
        length != digest.size()) {
        throw std::runtime_error("OpenSSL SHA-1 failed");
    }
    return digest;
}

bool opensslSeedAvailable() {
    return fetch("SEED-ECB") != nullptr && fetch("SEED-CBC") != nullptr;
}

std::array<unsigned char, 16> opensslSeedEcb(const unsigned char* key, const unsigned char* block) {
    const auto out = encrypt("SEED-ECB", false, key, nullptr, block, 16);
    std::array<unsigned char, 16> result{};
    std::copy(out.begin(), out.end(), result.begin());
    return result;
}

std::vector<unsigned char> opensslSeedCbc(const unsigned char* key, const unsigned char* iv,
                                          const std::vector<unsigned char>& data) {
    return encrypt("SEED-CBC", true, key, iv, data.data(), data.size());
}

}  // namespace otpcli::test
