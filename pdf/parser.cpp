#include "pdf/parser.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "base/error.h"
#include "pdf/security.h"

namespace pdf {

namespace {

constexpr size_t kFirstWindow = 512;

// Values taken as they stand, for a parser given no table.
const Resolve& NoResolve() {
    static const Resolve kSame = [](const Object& value) { return value; };
    return kSame;
}

int32_t Saturated(int64_t value) {
    constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(value, kLow, kHigh));
}

// Cross-reference streams are never encrypted, nor the metadata stream of a
// file that says so.
bool EncryptedStream(const Decryption& decryption, const Dictionary& dict) {
    if (decryption.handler == nullptr || !decryption.handler->encryptsStreams()) return false;
    if (dict.is("XRef")) return false;
    return decryption.handler->encryptsMetadata() || !dict.is("Metadata");
}

}  // namespace

std::optional<uint64_t> FindInSource(ByteSource& source, uint64_t from, std::string_view pattern) {
    // Small chunks first, as most searches end soon, and larger ones later.
    const size_t overlap = pattern.size() - 1;
    for (size_t size = 1 << 10;; size = std::min<size_t>(size * 4, 1 << 20)) {
        const std::string chunk = source.bytes(from, size);
        const size_t found = chunk.find(pattern);
        if (found != std::string::npos) return from + found;
        if (chunk.size() < size || chunk.size() <= overlap) return std::nullopt;
        from += chunk.size() - overlap;
    }
}

StreamDataEnd FindStreamDataEnd(ByteSource& source, uint64_t start) {
    const uint64_t size = source.size();
    uint64_t keyword = size;
    for (const char* word : {"endstream", "endobj"}) {
        const std::optional<uint64_t> found = FindInSource(source, start, word);
        if (found && *found < keyword) keyword = *found;
    }
    uint64_t end = std::max(keyword, start);
    // The line end before the keyword belongs to neither.
    char before[2] = {};
    if (end > start && source.read(end - 1, &before[1], 1) == 1 && before[1] == '\n') --end;
    if (end > start && source.read(end - 1, &before[0], 1) == 1 && before[0] == '\r') --end;
    return {end, keyword};
}

std::string ByteSource::bytes(uint64_t offset, size_t count) {
    std::string out(count, '\0');
    out.resize(read(offset, out.data(), count));
    return out;
}

size_t MemorySource::read(uint64_t offset, void* out, size_t count) {
    if (offset >= bytes_.size()) return 0;
    const size_t take = std::min<size_t>(count, bytes_.size() - static_cast<size_t>(offset));
    std::memcpy(out, bytes_.data() + offset, take);
    return take;
}

Parser::Parser(ByteSource& source, uint64_t offset, Decryption decryption, const Resolve* resolve)
    : source_(source),
      memory_(source.asMemory()),
      decryption_(decryption),
      resolve_(resolve),
      base_(offset),
      atEnd_(memory_ != nullptr) {
    setView();
}

void Parser::setView() {
    if (memory_ == nullptr) {
        view_ = window_;
        return;
    }
    const std::string_view bytes = memory_->bytes();
    view_ = base_ >= bytes.size() ? std::string_view() : bytes.substr(static_cast<size_t>(base_));
}

void Parser::moveTo(uint64_t position) {
    pendingCount_ = 0;
    if (position >= base_ && position - base_ <= view().size()) {
        pos_ = static_cast<size_t>(position - base_);
    } else if (memory_ != nullptr) {
        base_ = position;
        pos_ = 0;
        setView();
    } else {
        // Far behind the window: read on from there.
        base_ = position;
        window_.clear();
        pos_ = 0;
        atEnd_ = base_ >= source_.size();
        setView();
    }
}

void Parser::grow() {
    if (atEnd_) return;
    const size_t had = window_.size();
    const size_t want = std::max(kFirstWindow, had * 2) - had;
    window_.resize(had + want);
    const size_t got = source_.read(base_ + had, window_.data() + had, want);
    window_.resize(had + got);
    atEnd_ = got < want;
    setView();
}

Token Parser::token() {
    if (pendingCount_ > 0) {
        const Token token = pending_[0];
        pending_[0] = pending_[1];
        --pendingCount_;
        return token;
    }
    for (;;) {
        Lexer lexer(view(), pos_);
        const Token token = lexer.next();
        // A token that reaches the end of the window may go on in the file.
        if ((token.cutOff || token.kind == TokenKind::End) && !atEnd_) {
            grow();
            continue;
        }
        pos_ = token.end;
        return token;
    }
}

void Parser::putBack(const Token& token) {
    // References are told from numbers by looking two tokens ahead: those
    // tokens are read once, and kept for when the parser comes to them.
    pending_[1] = pending_[0];
    pending_[0] = token;
    ++pendingCount_;
}

Token Parser::peekToken() {
    const Token token = this->token();
    putBack(token);
    return token;
}

std::string Parser::text(const Token& token) const {
    return std::string(view().substr(token.begin, token.end - token.begin));
}

Object Parser::next() {
    return parse(token(), 0);
}

Object Parser::parse(const Token& first, int depth) {
    switch (first.kind) {
        case TokenKind::End:
            return Object::MakeEnd();
        case TokenKind::Integer: {
            const int64_t value = IntegerValue(view().substr(first.begin, first.end - first.begin));
            // "N G R" is a reference.
            const Token generation = token();
            if (generation.kind == TokenKind::Integer) {
                const Token r = token();
                if (EndsReference(generation, r, view())) {
                    const int64_t g = IntegerValue(
                        view().substr(generation.begin, generation.end - generation.begin));
                    return Object::MakeReference({Saturated(value), Saturated(g)});
                }
                putBack(r);
            }
            putBack(generation);
            return Object::MakeInteger(value);
        }
        case TokenKind::Real:
            return Object::MakeReal(RealValue(text(first)));
        case TokenKind::LiteralString:
        case TokenKind::HexString: {
            std::string bytes = StringBytes(view().substr(first.begin, first.end - first.begin));
            if (decryption_.handler != nullptr) {
                bytes = decryption_.handler->decryptString(bytes, decryption_.id);
            }
            return Object::MakeString(std::move(bytes));
        }
        case TokenKind::Name:
            return Object::MakeName(NameBytes(view().substr(first.begin, first.end - first.begin)));
        case TokenKind::Keyword: {
            const std::string word = text(first);
            if (word == "true") return Object::MakeBoolean(true);
            if (word == "false") return Object::MakeBoolean(false);
            if (word == "null") return Object::MakeNull();
            return Object::MakeKeyword(word);
        }
        case TokenKind::ArrayBegin:
            return parseArray(depth);
        case TokenKind::DictBegin:
            return parseDictionary(depth);
        case TokenKind::ArrayEnd:
            return Object::MakeKeyword("]");
        case TokenKind::DictEnd:
            return Object::MakeKeyword(">>");
        case TokenKind::Error:
            return Object::MakeError();
    }
    return Object::MakeError();  // not reached: every kind is handled above
}

Object Parser::parseArray(int depth) {
    if (depth >= kMaxNesting) return Object::MakeError();
    // The items of every open array wait on one stack, and each array is made
    // once at its size: arrays kept for long (those of name trees) hold no
    // room they do not use, and a long one is never copied as it grows.
    constexpr size_t kFirstRoom = 16;
    if (openItems_.capacity() == 0) openItems_.reserve(kFirstRoom);
    const size_t base = openItems_.size();
    for (Token item = token(); item.kind != TokenKind::ArrayEnd && item.kind != TokenKind::End;
         item = token()) {
        Object value = parse(item, depth + 1);
        openItems_.push_back(std::move(value));
    }
    const auto first = openItems_.begin() + static_cast<std::ptrdiff_t>(base);
    std::vector<Object> items(std::make_move_iterator(first),
                              std::make_move_iterator(openItems_.end()));
    openItems_.erase(first, openItems_.end());
    return Object::MakeArray(std::make_shared<Array>(std::move(items)));
}

Object Parser::parseDictionary(int depth) {
    if (depth >= kMaxNesting) return Object::MakeError();
    std::vector<Dictionary::Entry> entries;
    bool closed = false;
    for (Token key = token(); key.kind != TokenKind::End; key = token()) {
        if (key.kind == TokenKind::DictEnd) {
            closed = true;
            break;
        }
        // What stands where a key belongs is passed over a token at a time.
        if (key.kind != TokenKind::Name) continue;
        Object name = Object::MakeName(NameBytes(view().substr(key.begin, key.end - key.begin)));
        const Token value = token();
        if (value.kind == TokenKind::Error) continue;
        if (value.kind == TokenKind::End) break;
        entries.emplace_back(name.text(), parse(value, depth + 1));
    }
    Dictionary dictionary(std::move(entries));
    if (closed) {
        const Token after = peekToken();
        if (after.kind == TokenKind::Keyword &&
            view().substr(after.begin, after.end - after.begin) == "stream") {
            token();
            return locateStream(std::move(dictionary));
        }
    }
    return Object::MakeDictionary(std::make_shared<Dictionary>(std::move(dictionary)));
}

void Parser::skipValue(const Token& first) {
    if (first.kind == TokenKind::ArrayBegin || first.kind == TokenKind::DictBegin) {
        // Brackets of either kind count alike, as a damaged value needs.
        int depth = 1;
        for (Token inner = token(); inner.kind != TokenKind::End; inner = token()) {
            if (inner.kind == TokenKind::ArrayBegin || inner.kind == TokenKind::DictBegin) {
                ++depth;
            } else if ((inner.kind == TokenKind::ArrayEnd || inner.kind == TokenKind::DictEnd) &&
                       --depth == 0) {
                return;
            }
        }
        return;
    }
    if (first.kind == TokenKind::Integer) {
        // "N G R" is one value.
        const Token generation = token();
        if (generation.kind == TokenKind::Integer) {
            const Token r = token();
            if (EndsReference(generation, r, view())) return;
            putBack(r);
        }
        putBack(generation);
    }
}

Object Parser::nextKeys(const std::vector<std::string>& keys, const StopAt& stopAt) {
    const Token first = token();
    if (first.kind != TokenKind::DictBegin) return parse(first, 0);
    std::vector<Dictionary::Entry> entries;
    entries.reserve(keys.size());
    for (Token key = token(); key.kind != TokenKind::End; key = token()) {
        if (key.kind == TokenKind::DictEnd) {
            // A stream is not a dictionary, and is not read here.
            const Token after = peekToken();
            if (after.kind == TokenKind::Keyword &&
                view().substr(after.begin, after.end - after.begin) == "stream") {
                return Object();
            }
            break;
        }
        if (key.kind != TokenKind::Name) continue;
        // Most keys are spelt plainly and are compared as they stand; only a
        // spelling with #xx is decoded first.
        const std::string_view spelt = view().substr(key.begin + 1, key.end - key.begin - 1);
        std::string decoded;
        if (spelt.find('#') != std::string_view::npos) {
            decoded = NameBytes(spelt);
            decoded.resize(std::min(decoded.size(), decoded.find('\0')));
        }
        const std::string_view name = decoded.empty() ? spelt : std::string_view(decoded);
        const bool wanted = std::find(keys.begin(), keys.end(), name) != keys.end() &&
                            std::none_of(entries.begin(), entries.end(),
                                         [name](const auto& entry) { return entry.first == name; });
        // The window may move as the value is read: the key is kept first.
        std::string kept = wanted ? std::string(name) : std::string();
        const Token value = token();
        if (value.kind == TokenKind::Error) continue;
        if (value.kind == TokenKind::End) break;
        if (!wanted) {
            skipValue(value);
            continue;
        }
        entries.emplace_back(std::move(kept), parse(value, 1));
        if (stopAt && stopAt(entries.back().first, entries.back().second)) break;
        if (entries.size() == keys.size()) break;
    }
    return Object::MakeDictionary(std::make_shared<Dictionary>(std::move(entries)));
}

std::optional<Object> Parser::nextValueOf(std::string_view wanted) {
    if (token().kind != TokenKind::DictBegin) return std::nullopt;
    for (Token key = token(); key.kind != TokenKind::End; key = token()) {
        if (key.kind == TokenKind::DictEnd) {
            const Token after = peekToken();
            if (after.kind == TokenKind::Keyword &&
                view().substr(after.begin, after.end - after.begin) == "stream") {
                return std::nullopt;
            }
            break;
        }
        if (key.kind != TokenKind::Name) continue;
        const std::string_view spelt = view().substr(key.begin + 1, key.end - key.begin - 1);
        const bool plain = spelt.find('#') == std::string_view::npos;
        const bool match = plain ? spelt == wanted : NameBytes(spelt) == wanted;
        const Token value = token();
        if (value.kind == TokenKind::Error) continue;
        if (value.kind == TokenKind::End) break;
        if (match) return parse(value, 1);
        skipValue(value);
    }
    return Object::MakeNull();
}

Object Parser::locateStream(Dictionary dictionary) {
    // The data starts after the end of the line that holds "stream".
    for (;;) {
        const std::string_view bytes = view();
        size_t at = pos_;
        while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r') ++at;
        if (at + 1 >= bytes.size() && !atEnd_) {
            grow();
            continue;
        }
        if (at < bytes.size()) {
            at += bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n' ? 2 : 1;
        }
        pos_ = at;
        break;
    }
    const uint64_t start = position();
    Object length = dictionary.get("Length");
    if (length.isReference() && resolve_ != nullptr) length = (*resolve_)(length);
    // A stream whose filters this reader does not know is no stream it reads.
    if (!FiltersKnown(dictionary, resolve_ != nullptr ? *resolve_ : NoResolve())) {
        return Object::MakeError();
    }
    const uint64_t sourceSize = source_.size();
    uint64_t end = sourceSize;
    bool lengthHolds = false;
    if (length.isInteger() && length.integer64() >= 0) {
        // A Length past the end of any file ends the data there, without overflow.
        const auto dataLength = static_cast<uint64_t>(length.integer64());
        end = start > UINT64_MAX - dataLength ? UINT64_MAX : start + dataLength;
        moveTo(std::min(end, sourceSize));
        const Token after = token();
        lengthHolds = after.kind == TokenKind::Keyword && text(after) == "endstream";
    }
    if (!lengthHolds) {
        // The Length is wrong or missing: the data ends where "endstream" stands.
        const StreamDataEnd found = FindStreamDataEnd(source_, start);
        end = found.dataEnd;
        moveTo(found.keyword);
        if (found.keyword < sourceSize) token();
    }
    auto stream = std::make_shared<Stream>();
    stream->dataOffset = start;
    stream->dataLength = std::min(end, sourceSize) - std::min(start, sourceSize);
    if (EncryptedStream(decryption_, dictionary)) stream->decryption = decryption_;
    stream->dictionary = std::move(dictionary);
    return Object::MakeStream(std::move(stream));
}

}  // namespace pdf
