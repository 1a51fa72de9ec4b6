#pragma once

#include <string>

// The password preparation AES-256 encryption (revisions 5 and 6) asks for:
// SASLprep (RFC 4013) of UTF-8 text. Characters mapped to nothing go, the
// other spaces become U+0020, and the text is put in Unicode normalization
// form KC, as of Unicode 3.2. The checks that would refuse a password
// (prohibited characters, mixed directions) are left to the caller, which
// tries the password as typed when the prepared one does not open a file.
namespace saslprep {

std::string Prepare(const std::string& utf8);

}  // namespace saslprep
