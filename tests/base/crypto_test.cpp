// The primitives the security handler is built on, against published answers,
// and AES padding that is removed only where it reads as padding.
#include "base/crypto.h"

#include <gtest/gtest.h>

namespace {

std::string Hex(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) hex += std::string{kDigits[c >> 4], kDigits[c & 15]};
    return hex;
}

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
    }
    return bytes;
}

TEST(CryptoTest, DigestsAndCiphersGiveThePublishedAnswers) {
    EXPECT_EQ(Hex(crypto::Md5("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(crypto::Sha256("abc")).substr(0, 16), "ba7816bf8f01cfea");
    EXPECT_EQ(Hex(crypto::Sha384("abc")).substr(0, 16), "cb00753f45a35e8b");
    EXPECT_EQ(Hex(crypto::Sha512("abc")).substr(0, 16), "ddaf35a193617aba");
    EXPECT_EQ(Hex(crypto::Rc4("Secret", "Attack at dawn")), "45a01f645fc35b383552544b9bf5");
    // CBC, the first block of the examples of NIST SP 800-38A.
    const std::string iv = Bytes("000102030405060708090a0b0c0d0e0f");
    const std::string plain = Bytes("6bc1bee22e409f96e93d7e117393172a");
    const std::string key128 = Bytes("2b7e151628aed2a6abf7158809cf4f3c");
    const std::string key256 =
        Bytes("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    EXPECT_EQ(Hex(crypto::AesCbcEncrypt(key128, iv, plain, false)),
              "7649abac8119b246cee98e9b12e9197d");
    EXPECT_EQ(Hex(crypto::AesCbcEncrypt(key256, iv, plain, false)),
              "f58c4c04d6e5f1ba779eabfb5f7bfbd6");
    EXPECT_EQ(crypto::AesCbcDecrypt(key256, iv, Bytes("f58c4c04d6e5f1ba779eabfb5f7bfbd6"), false),
              plain);
}

TEST(CryptoTest, PaddingGoesOnlyWhereItReads) {
    const std::string key(16, 'k');
    const std::string iv(16, 'i');
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "abc"},
        {"", ""},
        {std::string(16, 'x'), std::string(16, 'x')},
    };
    for (const auto& [plain, expected] : cases) {
        EXPECT_EQ(crypto::AesCbcDecrypt(key, iv, crypto::AesCbcEncrypt(key, iv, plain, true), true),
                  expected);
    }
    // A last byte that is no padding (0, or past 16) stays, even where the
    // data is long enough for it.
    for (const std::string& data : {std::string(15, 'a') + '\0', std::string(31, 'a') + '\x11',
                                    std::string(15, 'a') + '\x41'}) {
        EXPECT_EQ(crypto::AesCbcDecrypt(key, iv, crypto::AesCbcEncrypt(key, iv, data, false), true),
                  data);
    }
    // A damaged string that is not whole blocks loses its partial block.
    const std::string two = crypto::AesCbcEncrypt(key, iv, std::string(32, 'b'), false);
    EXPECT_EQ(crypto::AesCbcDecrypt(key, iv, two.substr(0, 20), false), std::string(16, 'b'));
}

}  // namespace
