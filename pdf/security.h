#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "pdf/object.h"

namespace pdf {

// The standard security handler, opened with the empty user password: the
// file key, and how strings and streams are encrypted (RC4 of 40 to 128 bits,
// AES-128 or AES-256, or not at all).
class SecurityHandler {
public:
    enum class Method { None, Rc4, Aes128, Aes256 };

    // Reads the Encrypt dictionary and finds the file key: from password,
    // the user's or the owner's (UTF-8, as typed), when one is given, else
    // from the empty user password. Throws Error "PDF file is encrypted" when
    // no password is given and the empty one does not open the file, "The
    // password does not open the PDF file" when the one given does not
    // either, and a message of its own when the dictionary is damaged or of
    // another handler. resolve gives what a value of the dictionary stands for.
    static std::unique_ptr<SecurityHandler> Open(
        const Dictionary& encrypt, const std::string& firstId,
        const std::function<Object(const Object&)>& resolve, const std::string& password = "");

    std::string decryptString(const std::string& bytes, ObjectId id) const;
    std::string encryptString(const std::string& bytes, ObjectId id) const;
    std::string decryptStream(const std::string& bytes, ObjectId id) const;

    bool encryptsStrings() const { return strings_ != Method::None; }
    bool encryptsStreams() const { return streams_ != Method::None; }
    bool encryptsMetadata() const { return encryptMetadata_; }
    const std::string& fileKey() const { return fileKey_; }
    // Whether the file key is made from the first part of the file's /ID, as
    // it is for every revision before AES-256.
    bool keyDependsOnIdentifier() const { return keyDependsOnIdentifier_; }

private:
    std::string objectKey(ObjectId id, Method method) const;
    std::string decrypt(const std::string& bytes, ObjectId id, Method method) const;

    std::string fileKey_;
    Method strings_ = Method::None;
    Method streams_ = Method::None;
    bool encryptMetadata_ = true;
    bool keyDependsOnIdentifier_ = true;
};

}  // namespace pdf
