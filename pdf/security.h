#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/stream.h"

class CPdfDictionary;

// An object's number and generation: what its strings' and streams' key
// depends on.
struct ObjectId {
    uint32_t number = 0;
    uint32_t generation = 0;
};

// The standard security handler, opened with the empty user password: the
// file key, and how strings and streams are encrypted (RC4 of 40 to 128 bits,
// AES-128 or AES-256, or not at all).
class SecurityHandler {
public:
    enum class Method { None, Rc4, Aes128, Aes256 };

    // Reads the Encrypt dictionary. Throws CPdfException "PDF file is
    // encrypted" when the user password is not empty, and a message of its
    // own when the dictionary is damaged or of another handler.
    static std::unique_ptr<SecurityHandler> Open(const CPdfDictionary& encrypt,
                                                 const std::string& firstId);

    std::string decryptString(const std::string& bytes, ObjectId id) const;
    std::string encryptString(const std::string& bytes, ObjectId id) const;
    std::string decryptStream(const std::string& bytes, ObjectId id) const;

    bool encryptsStrings() const { return strings_ != Method::None; }
    bool encryptsStreams() const { return streams_ != Method::None; }
    bool encryptsMetadata() const { return encryptMetadata_; }
    const std::string& fileKey() const { return fileKey_; }

private:
    std::string objectKey(ObjectId id, Method method) const;
    std::string decrypt(const std::string& bytes, ObjectId id, Method method) const;

    std::string fileKey_;
    Method strings_ = Method::None;
    Method streams_ = Method::None;
    bool encryptMetadata_ = true;
};

// What a parser needs to decrypt the strings and streams of one object; a
// null handler decrypts nothing.
struct Decryption {
    const SecurityHandler* handler = nullptr;
    ObjectId id;
};

// The data of an encrypted stream, decrypted whole when its first byte is
// asked for: a stream whose dictionary alone is wanted is never read.
class CPdfDecryptStream : public CPdfDecodingStream {
public:
    // Takes over one count of base.
    CPdfDecryptStream(CPdfStream* base, const Decryption& decryption);

    void reset() override;
    int getChar() override;
    int lookChar() override;
    size_t read(unsigned char* out, size_t count) override;
    // Before decrypting, the encrypted length: no less than what comes out.
    uint64_t getLength() override { return loaded_ ? data_.size() : base_->getLength(); }

private:
    void load();

    Decryption decryption_;
    bool loaded_ = false;
    std::string data_;
};
