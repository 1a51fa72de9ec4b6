#include "pdf/security.h"

#include <algorithm>

#include "base/crypto.h"
#include "base/error.h"

namespace pdf {

namespace {

using Resolve = std::function<Object(const Object&)>;

// The padding that stands in for a password of fewer than 32 bytes.
const std::string kPadding(
    "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
    "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
    32);

[[noreturn]] void Unreadable() {
    throw Error("Encryption dictionary is damaged or of an unknown kind");
}

[[noreturn]] void NeedsPassword() {
    throw Error("PDF file is encrypted");
}

int IntegerOf(const Dictionary& dict, const char* key, int fallback, const Resolve& resolve) {
    const Object value = resolve(dict.get(key));
    if (value.isNull()) return fallback;
    if (!value.isInteger()) Unreadable();
    return value.integer();
}

std::string StringOf(const Dictionary& dict, const char* key, const Resolve& resolve) {
    const Object value = resolve(dict.get(key));
    if (!value.isString()) Unreadable();
    return value.text();
}

std::string LittleEndian(uint32_t value, int bytes) {
    std::string out;
    for (int k = 0; k < bytes; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
    return out;
}

std::string WithEachByte(const std::string& key, unsigned char mask) {
    std::string out = key;
    for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ mask);
    return out;
}

// How a crypt filter of a version 4 or 5 dictionary encrypts.
SecurityHandler::Method FilterMethod(const Dictionary& encrypt, const char* which,
                                     const Resolve& resolve) {
    const Object name = resolve(encrypt.get(which));
    if (name.isNull() || name.isName("Identity")) return SecurityHandler::Method::None;
    if (!name.isName()) Unreadable();
    const Object filters = resolve(encrypt.get("CF"));
    if (!filters.isDictionary()) Unreadable();
    const Object filter = resolve(filters.dictionary()->get(name.text()));
    if (!filter.isDictionary()) Unreadable();
    const Object method = resolve(filter.dictionary()->get("CFM"));
    if (method.isNull() || method.isName("None")) return SecurityHandler::Method::None;
    if (method.isName("V2")) return SecurityHandler::Method::Rc4;
    if (method.isName("AESV2")) return SecurityHandler::Method::Aes128;
    if (method.isName("AESV3")) return SecurityHandler::Method::Aes256;
    Unreadable();
}

// The hash of revision 6: SHA-256, then rounds of AES-128 and SHA-2 of a
// length chosen by the data, at least 64 rounds.
std::string HardenedHash(const std::string& password, const std::string& salt) {
    std::string k = crypto::Sha256(password + salt);
    for (int round = 0;; ++round) {
        std::string k1;
        for (int copy = 0; copy < 64; ++copy) k1 += password + k;
        const std::string e = crypto::AesCbcEncrypt(k.substr(0, 16), k.substr(16, 16), k1, false);
        unsigned sum = 0;
        for (size_t i = 0; i < 16; ++i) sum += static_cast<unsigned char>(e[i]);
        switch (sum % 3) {
            case 0:
                k = crypto::Sha256(e);
                break;
            case 1:
                k = crypto::Sha384(e);
                break;
            default:
                k = crypto::Sha512(e);
                break;
        }
        if (round >= 63 && static_cast<unsigned char>(e.back()) <= round + 1 - 32) break;
    }
    return k.substr(0, 32);
}

// The file key of revisions 2 to 4 for the empty user password.
std::string FileKey(const std::string& seed, int revision, size_t keyBytes) {
    std::string hash = crypto::Md5(seed);
    if (revision >= 3) {
        for (int round = 0; round < 50; ++round) hash = crypto::Md5(hash.substr(0, keyBytes));
    }
    return hash.substr(0, keyBytes);
}

// The empty password is the user's when its key gives back the U entry.
bool UserPasswordIsEmpty(const std::string& key, int revision, const std::string& user,
                         const std::string& firstId) {
    if (revision == 2) return crypto::Rc4(key, kPadding) == user.substr(0, 32);
    std::string check = crypto::Rc4(key, crypto::Md5(kPadding + firstId));
    for (unsigned char round = 1; round <= 19; ++round) {
        check = crypto::Rc4(WithEachByte(key, round), check);
    }
    return check == user.substr(0, 16);
}

}  // namespace

std::unique_ptr<SecurityHandler> SecurityHandler::Open(const Dictionary& encrypt,
                                                       const std::string& firstId,
                                                       const Resolve& resolve) {
    if (!resolve(encrypt.get("Filter")).isName("Standard")) Unreadable();
    const int version = IntegerOf(encrypt, "V", 0, resolve);
    const int revision = IntegerOf(encrypt, "R", -1, resolve);
    auto handler = std::unique_ptr<SecurityHandler>(new SecurityHandler());
    const Object metadata = resolve(encrypt.get("EncryptMetadata"));
    handler->encryptMetadata_ = !(metadata.isBoolean() && !metadata.boolean());
    const std::string owner = StringOf(encrypt, "O", resolve);
    const std::string user = StringOf(encrypt, "U", resolve);

    if (version == 5) {
        handler->keyDependsOnIdentifier_ = false;
        if ((revision != 5 && revision != 6) || owner.size() < 48 || user.size() < 48) Unreadable();
        const std::string userKey = StringOf(encrypt, "UE", resolve);
        if (userKey.size() < 32) Unreadable();
        handler->strings_ = FilterMethod(encrypt, "StrF", resolve);
        handler->streams_ = FilterMethod(encrypt, "StmF", resolve);
        const std::string validation = user.substr(32, 8), keySalt = user.substr(40, 8);
        const bool hardened = revision == 6;
        const std::string check =
            hardened ? HardenedHash("", validation) : crypto::Sha256(validation);
        if (check != user.substr(0, 32)) NeedsPassword();
        const std::string intermediate =
            hardened ? HardenedHash("", keySalt) : crypto::Sha256(keySalt);
        handler->fileKey_ = crypto::AesCbcDecrypt(intermediate, std::string(16, '\0'),
                                                  userKey.substr(0, 32), false);
        return handler;
    }

    if (version < 1 || version > 4 || revision < 2 || revision > 4) Unreadable();
    if (owner.size() < 32 || user.size() < 32) Unreadable();
    int length = version == 1 ? 40 : IntegerOf(encrypt, "Length", 40, resolve);
    if (version == 4) {
        handler->strings_ = FilterMethod(encrypt, "StrF", resolve);
        handler->streams_ = FilterMethod(encrypt, "StmF", resolve);
        if (handler->strings_ == Method::Aes256 || handler->streams_ == Method::Aes256) {
            Unreadable();
        }
        // A crypt filter keeps its own Length; 128 bits is what every one uses.
        length = 128;
    } else {
        handler->strings_ = handler->streams_ = Method::Rc4;
    }
    if (length < 40 || length > 128 || length % 8 != 0) Unreadable();
    const auto permissions = static_cast<uint32_t>(IntegerOf(encrypt, "P", 0, resolve));
    const std::string seed =
        kPadding + owner.substr(0, 32) + LittleEndian(permissions, 4) + firstId +
        (revision >= 4 && !handler->encryptMetadata_ ? "\xFF\xFF\xFF\xFF" : "");
    const size_t keyBytes = revision == 2 ? 5 : static_cast<size_t>(length / 8);
    handler->fileKey_ = FileKey(seed, revision, keyBytes);
    // Without a Length, a key of 128 bits is the other one files use.
    const Object stated = resolve(encrypt.get("Length"));
    if (!UserPasswordIsEmpty(handler->fileKey_, revision, user, firstId) && revision >= 3 &&
        stated.isNull()) {
        handler->fileKey_ = FileKey(seed, revision, 16);
    }
    if (!UserPasswordIsEmpty(handler->fileKey_, revision, user, firstId)) NeedsPassword();
    return handler;
}

std::string SecurityHandler::objectKey(ObjectId id, Method method) const {
    if (method == Method::Aes256) return fileKey_;
    std::string seed = fileKey_ + LittleEndian(id.number, 3) + LittleEndian(id.generation, 2);
    if (method == Method::Aes128) seed += "sAlT";
    return crypto::Md5(seed).substr(0, std::min<size_t>(fileKey_.size() + 5, 16));
}

std::string SecurityHandler::decrypt(const std::string& bytes, ObjectId id, Method method) const {
    switch (method) {
        case Method::None:
            return bytes;
        case Method::Rc4:
            return crypto::Rc4(objectKey(id, method), bytes);
        default:
            // The first block is the initialisation vector.
            if (bytes.size() < 16) return std::string();
            return crypto::AesCbcDecrypt(objectKey(id, method), bytes.substr(0, 16),
                                         bytes.substr(16), true);
    }
}

std::string SecurityHandler::decryptString(const std::string& bytes, ObjectId id) const {
    return decrypt(bytes, id, strings_);
}

std::string SecurityHandler::decryptStream(const std::string& bytes, ObjectId id) const {
    return decrypt(bytes, id, streams_);
}

std::string SecurityHandler::encryptString(const std::string& bytes, ObjectId id) const {
    switch (strings_) {
        case Method::None:
            return bytes;
        case Method::Rc4:
            return crypto::Rc4(objectKey(id, strings_), bytes);
        default: {
            const std::string iv = crypto::RandomBytes(16);
            return iv + crypto::AesCbcEncrypt(objectKey(id, strings_), iv, bytes, true);
        }
    }
}

}  // namespace pdf
