#pragma once

#include <vector>

#include "pdf/element.h"
#include "pdf/security.h"
#include "pdf/stream.h"

// Tokeniser and object parser over one stream of bytes.
class CPdfParser {
public:
    // Containers beyond this depth of nesting are read as pdfError, so that a
    // file of a million "[" cannot exhaust the stack; real files stay far below.
    static constexpr int kMaxNesting = 256;

    // Takes over one count of the stream. References in the arrays and
    // dictionaries it builds resolve through xref (which may be null). The
    // strings and streams of an encrypted object are decrypted on the way.
    CPdfParser(CPdfXRef* xref, CPdfStream* stream, Decryption decryption = {});
    CPdfParser(const CPdfParser&) = delete;
    CPdfParser& operator=(const CPdfParser&) = delete;
    virtual ~CPdfParser();

    // Parses the next object into target. Syntax errors give pdfError values;
    // only stream data not followed by "endstream" throws.
    void getObj(CPdfElement& target);

private:
    void getObj(CPdfElement& target, int depth);
    void getArray(CPdfElement& target, int depth);
    void getDictOrStream(CPdfElement& target, int depth);
    void makeStream(CPdfElement& dict, CPdfElement& target);
    void shift();
    int getChar();
    int lookChar();
    void getToken(CPdfElement& target);
    void readLiteralString(CPdfElement& target);
    void readHexString(CPdfElement& target);
    void readNumber(int first, CPdfElement& target);
    void readName(CPdfElement& target);

    // A string's bytes as the object means them.
    std::string decrypted(std::string bytes) const;

    CPdfXRef* xref_;
    Decryption decryption_;
    CPdfElement buf1_;
    CPdfElement buf2_;
    std::vector<CPdfStream*> streams_;
    int current_ = 0;
};
