#pragma once

#include <string>

// The few cryptographic primitives the standard security handler of PDF
// needs, from a well-kept library; nothing else sees that library. Bytes go
// in and out as strings.
namespace crypto {

std::string Md5(const std::string& data);
std::string Sha256(const std::string& data);
std::string Sha384(const std::string& data);
std::string Sha512(const std::string& data);

// RC4 (ARCFOUR): the same call encrypts and decrypts.
std::string Rc4(const std::string& key, const std::string& data);

// AES in CBC mode with a key of 16 or 32 bytes and a 16-byte iv. Without
// padding the data must be a whole number of blocks. Decrypting with padding
// removes it; padding that does not read is left in place.
std::string AesCbcEncrypt(const std::string& key, const std::string& iv, const std::string& data,
                          bool pad);
std::string AesCbcDecrypt(const std::string& key, const std::string& iv, const std::string& data,
                          bool pad);

// Bytes for initialisation vectors.
std::string RandomBytes(size_t count);

}  // namespace crypto
