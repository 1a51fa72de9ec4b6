#include <gcrypt.h>

#include <stdexcept>

#include "base/crypto.h"

namespace crypto {

namespace {

// The library wants to be told once that the program uses no secure memory.
void Initialise() {
    static const bool ready = [] {
        if (gcry_check_version(GCRYPT_VERSION) == nullptr) {
            throw std::runtime_error("libgcrypt is older than the one built against");
        }
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
}

std::string Digest(int algorithm, const std::string& data) {
    Initialise();
    std::string digest(gcry_md_get_algo_dlen(algorithm), '\0');
    gcry_md_hash_buffer(algorithm, digest.data(), data.data(), data.size());
    return digest;
}

// A cipher handle that closes itself.
class Cipher {
public:
    Cipher(int algorithm, int mode) {
        Initialise();
        if (gcry_cipher_open(&handle_, algorithm, mode, 0) != 0) {
            throw std::runtime_error("cipher unavailable");
        }
    }
    ~Cipher() { gcry_cipher_close(handle_); }
    Cipher(const Cipher&) = delete;
    Cipher& operator=(const Cipher&) = delete;

    void key(const std::string& bytes) {
        if (gcry_cipher_setkey(handle_, bytes.data(), bytes.size()) != 0) {
            throw std::runtime_error("bad cipher key");
        }
    }
    void iv(const std::string& bytes) { gcry_cipher_setiv(handle_, bytes.data(), bytes.size()); }
    std::string encrypt(std::string data) {
        gcry_cipher_encrypt(handle_, data.data(), data.size(), nullptr, 0);
        return data;
    }
    std::string decrypt(std::string data) {
        gcry_cipher_decrypt(handle_, data.data(), data.size(), nullptr, 0);
        return data;
    }

private:
    gcry_cipher_hd_t handle_ = nullptr;
};

int AesAlgorithm(const std::string& key) {
    return key.size() == 32 ? GCRY_CIPHER_AES256 : GCRY_CIPHER_AES128;
}

}  // namespace

std::string Md5(const std::string& data) {
    return Digest(GCRY_MD_MD5, data);
}

std::string Sha256(const std::string& data) {
    return Digest(GCRY_MD_SHA256, data);
}

std::string Sha384(const std::string& data) {
    return Digest(GCRY_MD_SHA384, data);
}

std::string Sha512(const std::string& data) {
    return Digest(GCRY_MD_SHA512, data);
}

std::string Rc4(const std::string& key, const std::string& data) {
    if (key.empty()) return data;
    Cipher cipher(GCRY_CIPHER_ARCFOUR, GCRY_CIPHER_MODE_STREAM);
    cipher.key(key);
    return cipher.encrypt(data);
}

std::string AesCbcEncrypt(const std::string& key, const std::string& iv, const std::string& data,
                          bool pad) {
    std::string plain = data;
    if (pad) plain.append(16 - data.size() % 16, static_cast<char>(16 - data.size() % 16));
    if (plain.size() % 16 != 0) throw std::invalid_argument("not whole blocks");
    Cipher cipher(AesAlgorithm(key), GCRY_CIPHER_MODE_CBC);
    cipher.key(key);
    cipher.iv(iv);
    return cipher.encrypt(plain);
}

std::string AesCbcDecrypt(const std::string& key, const std::string& iv, const std::string& data,
                          bool pad) {
    // A damaged string may not be whole blocks: its last partial block goes.
    std::string blocks = data.substr(0, data.size() - data.size() % 16);
    if (blocks.empty()) return blocks;
    Cipher cipher(AesAlgorithm(key), GCRY_CIPHER_MODE_CBC);
    cipher.key(key);
    cipher.iv(iv);
    std::string plain = cipher.decrypt(blocks);
    if (pad) {
        const auto last = static_cast<unsigned char>(plain.back());
        if (last >= 1 && last <= 16 && plain.size() >= last) plain.resize(plain.size() - last);
    }
    return plain;
}

std::string RandomBytes(size_t count) {
    Initialise();
    std::string bytes(count, '\0');
    gcry_create_nonce(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace crypto
