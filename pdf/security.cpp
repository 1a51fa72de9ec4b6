#include "pdf/security.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/crypto.h"
#include "base/error.h"
#include "base/saslprep.h"
#include "pdf/text_string.h"

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

std::string OptionalStringOf(const Dictionary& dict, const char* key, const Resolve& resolve) {
    const Object value = resolve(dict.get(key));
    return value.isString() ? value.text() : std::string();
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
// length chosen by the data, at least 64 rounds. userData is the first 48
// bytes of U when an owner password is checked, else empty.
std::string HardenedHash(const std::string& password, const std::string& salt,
                         const std::string& userData) {
    std::string k = crypto::Sha256(password + salt + userData);
    for (int round = 0;; ++round) {
        std::string k1;
        for (int copy = 0; copy < 64; ++copy) k1 += password + k + userData;
        const std::string e = crypto::AesCbcEncrypt(k.substr(0, 16), k.substr(16, 16), k1, false);
        unsigned sum = 0;
        for (size_t i = 0; i < 16; ++i) sum += static_cast<unsigned char>(e[i]);
        const unsigned choice = sum % 3;
        k = choice == 0 ? crypto::Sha256(e) : choice == 1 ? crypto::Sha384(e) : crypto::Sha512(e);
        if (round >= 63 && static_cast<unsigned char>(e.back()) <= round + 1 - 32) break;
    }
    return k.substr(0, 32);
}

// The file key of revisions 2 to 4 from a padded password.
std::string FileKey(const std::string& seed, int revision, size_t keyBytes) {
    std::string hash = crypto::Md5(seed);
    if (revision >= 3) {
        for (int round = 0; round < 50; ++round) hash = crypto::Md5(hash.substr(0, keyBytes));
    }
    return hash.substr(0, keyBytes);
}

// Whether a file key gives back the U entry: its password is the user's.
bool KeyChecks(const std::string& key, int revision, const std::string& user,
               const std::string& firstId) {
    if (revision == 2) return crypto::Rc4(key, kPadding) == user.substr(0, 32);
    std::string check = crypto::Rc4(key, crypto::Md5(kPadding + firstId));
    for (unsigned char round = 1; round <= 19; ++round) {
        check = crypto::Rc4(WithEachByte(key, round), check);
    }
    return check == user.substr(0, 16);
}

std::string Padded(const std::string& password) {
    return (password + kPadding).substr(0, 32);
}

// What revisions 2 to 4 need to find the file key from a password.
struct Revision4 {
    int revision;
    std::string owner;
    std::string user;
    std::string rest;  // of the seed: permissions, identifier, the metadata flag
    std::string firstId;
    std::vector<size_t> keyLengths;  // the stated one first

    // The file key of a padded user password, or nothing.
    std::optional<std::string> keyOfUser(const std::string& padded) const {
        for (size_t length : keyLengths) {
            std::string key = FileKey(padded + owner.substr(0, 32) + rest, revision, length);
            if (KeyChecks(key, revision, user, firstId)) return key;
        }
        return std::nullopt;
    }
    // The owner password opens the RC4 that O is: inside is the user's.
    std::optional<std::string> keyOfOwner(const std::string& password) const {
        for (size_t length : keyLengths) {
            std::string hash = crypto::Md5(Padded(password));
            if (revision >= 3) {
                for (int round = 0; round < 50; ++round) hash = crypto::Md5(hash);
            }
            const std::string key = hash.substr(0, length);
            std::string padded = owner.substr(0, 32);
            if (revision == 2) {
                padded = crypto::Rc4(key, padded);
            } else {
                for (int round = 19; round >= 0; --round) {
                    padded =
                        crypto::Rc4(WithEachByte(key, static_cast<unsigned char>(round)), padded);
                }
            }
            if (std::optional<std::string> found = keyOfUser(padded)) return found;
        }
        return std::nullopt;
    }
};

// What revisions 5 and 6 need to find the file key from a password.
struct Revision6 {
    bool hardened;
    std::string owner;
    std::string user;
    std::string ownerKey;
    std::string userKey;

    std::string hash(const std::string& password, const std::string& salt,
                     const std::string& userData) const {
        return hardened ? HardenedHash(password, salt, userData)
                        : crypto::Sha256(password + salt + userData);
    }
    std::optional<std::string> key(const std::string& password) const {
        // Passwords are cut at 127 bytes.
        const std::string cut = password.substr(0, 127);
        const std::string userData = user.substr(0, 48);
        const std::string iv(16, '\0');
        if (hash(cut, user.substr(32, 8), "") == user.substr(0, 32)) {
            return crypto::AesCbcDecrypt(hash(cut, user.substr(40, 8), ""), iv,
                                         userKey.substr(0, 32), false);
        }
        // An owner key too short to decrypt is no way in.
        if (ownerKey.size() >= 32 &&
            hash(cut, owner.substr(32, 8), userData) == owner.substr(0, 32)) {
            return crypto::AesCbcDecrypt(hash(cut, owner.substr(40, 8), userData), iv,
                                         ownerKey.substr(0, 32), false);
        }
        return std::nullopt;
    }
};

// The bytes a password typed as UTF-8 may stand for, the revision's own
// form first: PDFDocEncoding for revisions 2 to 4, SASLprep for 5 and 6;
// then the bytes as typed, as some tools that encrypt use them.
std::vector<std::string> PasswordForms(const std::string& typed, bool aes256) {
    std::vector<std::string> forms;
    if (aes256) {
        forms.push_back(saslprep::Prepare(typed));
    } else if (pdftext::FitsPdfDoc(typed)) {
        forms.push_back(pdftext::Encode(typed));
    }
    if (std::find(forms.begin(), forms.end(), typed) == forms.end()) forms.push_back(typed);
    return forms;
}

// The file key from the password given, the user's or the owner's; else
// from the empty user password, which opens most files; else a failure.
template <typename KeyOf>
std::string KeyFromPasswords(const std::string& password, bool aes256, const KeyOf& keyOf) {
    if (!password.empty()) {
        for (const std::string& form : PasswordForms(password, aes256)) {
            if (std::optional<std::string> key = keyOf(form)) return *key;
        }
    }
    if (std::optional<std::string> key = keyOf(std::string())) return *key;
    if (!password.empty()) throw Error("The password does not open the PDF file");
    NeedsPassword();
}

}  // namespace

std::unique_ptr<SecurityHandler> SecurityHandler::Open(const Dictionary& encrypt,
                                                       const std::string& firstId,
                                                       const Resolve& resolve,
                                                       const std::string& password) {
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
        const Revision6 keys{revision == 6, owner, user, OptionalStringOf(encrypt, "OE", resolve),
                             StringOf(encrypt, "UE", resolve)};
        if (keys.userKey.size() < 32) Unreadable();
        handler->strings_ = FilterMethod(encrypt, "StrF", resolve);
        handler->streams_ = FilterMethod(encrypt, "StmF", resolve);
        handler->fileKey_ = KeyFromPasswords(
            password, true, [&keys](const std::string& form) { return keys.key(form); });
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
    Revision4 keys{revision,
                   owner,
                   user,
                   LittleEndian(permissions, 4) + firstId +
                       (revision >= 4 && !handler->encryptMetadata_ ? "\xFF\xFF\xFF\xFF" : ""),
                   firstId,
                   {revision == 2 ? size_t{5} : static_cast<size_t>(length / 8)}};
    // Without a Length, a key of 128 bits is the other one files use.
    if (revision >= 3 && resolve(encrypt.get("Length")).isNull() && keys.keyLengths[0] != 16) {
        keys.keyLengths.push_back(16);
    }
    handler->fileKey_ = KeyFromPasswords(password, false, [&](const std::string& form) {
        std::optional<std::string> key = keys.keyOfUser(Padded(form));
        return key ? key : keys.keyOfOwner(form);
    });
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
