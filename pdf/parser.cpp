#include "pdf/parser.h"

#include <algorithm>

#include "base/exception.h"

CPdfParser::CPdfParser(CPdfXRef* xref, CPdfStream* stream, Decryption decryption)
    : xref_(xref), decryption_(decryption) {
    streams_.push_back(stream);
    getToken(buf1_);
    getToken(buf2_);
}

CPdfParser::~CPdfParser() {
    for (CPdfStream* stream : streams_) stream->decRef();
}

void CPdfParser::shift() {
    buf1_ = std::move(buf2_);
    getToken(buf2_);
}

void CPdfParser::getObj(CPdfElement& target) {
    getObj(target, 0);
}

void CPdfParser::getObj(CPdfElement& target, int depth) {
    target.free();
    if (buf1_.isCmd("[")) {
        getArray(target, depth);
    } else if (buf1_.isCmd("<<")) {
        getDictOrStream(target, depth);
    } else if (buf1_.isInt()) {
        const int64_t number = buf1_.getInt64();
        shift();
        if (buf1_.isInt() && buf2_.isCmd("R")) {
            CPdfElement saturated;
            saturated.initInt(number);
            target.initRef(saturated.getInt(), buf1_.getInt());
            shift();
            shift();
        } else {
            target.initInt(number);
        }
    } else {
        // buf1_ is replaced by the shift: its value moves instead of being copied.
        target = std::move(buf1_);
        shift();
    }
}

void CPdfParser::getArray(CPdfElement& target, int depth) {
    shift();
    if (depth >= kMaxNesting) {
        target.initError();
        return;
    }
    target.initArray(xref_);
    CPdfArray* array = target.getArray();
    while (!buf1_.isCmd("]") && !buf1_.isEOF()) {
        CPdfElement element;
        getObj(element, depth + 1);
        array->add(std::move(element));
    }
    if (buf1_.isCmd("]")) shift();
}

void CPdfParser::getDictOrStream(CPdfElement& target, int depth) {
    shift();
    if (depth >= kMaxNesting) {
        target.initError();
        return;
    }
    target.initDict(xref_);
    CPdfDictionary* dict = target.getDict();
    while (!buf1_.isCmd(">>") && !buf1_.isEOF()) {
        if (!buf1_.isName()) {
            shift();
            continue;
        }
        std::string key = buf1_.takeText();
        shift();
        if (buf1_.isError() || buf1_.isEOF()) continue;
        CPdfElement value;
        getObj(value, depth + 1);
        dict->add(std::move(key), std::move(value));
    }
    if (!buf1_.isCmd(">>")) return;  // unfinished at the end of the input
    if (buf2_.isCmd("stream")) {
        CPdfElement dictElement = std::move(target);
        makeStream(dictElement, target);
    } else {
        shift();
    }
}

namespace {

// Cross-reference streams are never encrypted, nor the metadata stream of a
// file that says so.
bool EncryptedStream(const Decryption& decryption, const CPdfDictionary& dict) {
    if (decryption.handler == nullptr || !decryption.handler->encryptsStreams()) return false;
    if (dict.is("XRef")) return false;
    return decryption.handler->encryptsMetadata() || !dict.is("Metadata");
}

}  // namespace

std::string CPdfParser::decrypted(std::string bytes) const {
    if (decryption_.handler == nullptr) return bytes;
    return decryption_.handler->decryptString(bytes, decryption_.id);
}

void CPdfParser::makeStream(CPdfElement& dict, CPdfElement& target) {
    CPdfStream* input = streams_[static_cast<size_t>(current_)];
    // The data starts after the end of the line that holds "stream".
    for (;;) {
        int c = input->getChar();
        if (c < 0 || c == '\n') break;
        if (c == '\r') {
            if (input->lookChar() == '\n') input->getChar();
            break;
        }
    }
    const uint64_t start = input->getPos();

    CPdfElement length;
    dict.getDict()->lookup("Length", length);
    if (!length.isInt() || length.getInt64() < 0) {
        target.initError();
        return;
    }
    // Held until the filtered stream takes it over: looking up the filters may throw.
    StreamRef sub(input->makeSubStream(start, static_cast<uint64_t>(length.getInt64()), dict));
    if (!sub) {
        target.initError();
        return;
    }
    if (EncryptedStream(decryption_, *dict.getDict())) {
        CPdfStream* encrypted = sub.release();
        sub.reset(new CPdfDecryptStream(encrypted, decryption_));
    }
    CPdfStream* decoded = addFilters(sub.get(), dict);
    if (decoded == nullptr) {
        target.initError();
        return;
    }
    sub.release();
    StreamRef filtered(decoded);

    // A Length past the end of any file ends the data there, without overflow.
    const auto dataLength = static_cast<uint64_t>(length.getInt64());
    const uint64_t end = start > UINT64_MAX - dataLength ? UINT64_MAX : start + dataLength;
    input->setPos(static_cast<int64_t>(std::min<uint64_t>(end, INT64_MAX)), 0);
    shift();
    shift();
    if (!buf1_.isCmd("endstream")) throw CPdfException("Missing 'endstream'\n");
    shift();
    target.initStream(filtered.get());
}
