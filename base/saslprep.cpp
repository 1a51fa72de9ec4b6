#include "base/saslprep.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/utf8.h"

namespace saslprep {

namespace {

#include "base/unicode_tables.inc"

// Hangul syllables decompose and compose by arithmetic.
constexpr char32_t kSyllableBase = 0xAC00;
constexpr char32_t kLeadBase = 0x1100;
constexpr char32_t kVowelBase = 0x1161;
constexpr char32_t kTrailBase = 0x11A7;
constexpr char32_t kVowels = 21;
constexpr char32_t kTrails = 28;
constexpr char32_t kSyllables = 19 * kVowels * kTrails;

// The tables, read once into maps: a password is short, and the program
// prepares at most one per file.
struct Tables {
    std::unordered_map<char32_t, std::u32string> decompositions;
    std::map<std::pair<char32_t, char32_t>, char32_t> compositions;

    Tables() {
        const std::u32string text = utf8::ToCharacters(kDecompositions);
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find(U'\n', at);
            decompositions[text[at]] = text.substr(at + 1, end - at - 1);
            at = end + 1;
        }
        const std::u32string pairs = utf8::ToCharacters(kCompositions);
        for (size_t at = 0; at + 2 < pairs.size(); at += 3) {
            compositions[{pairs[at], pairs[at + 1]}] = pairs[at + 2];
        }
    }
};

int CombiningClass(char32_t c) {
    for (size_t at = 0; at + 2 < std::size(kCombiningClasses); at += 3) {
        if (c >= kCombiningClasses[at] && c <= kCombiningClasses[at + 1]) {
            return static_cast<int>(kCombiningClasses[at + 2]);
        }
    }
    return 0;
}

template <size_t N>
bool In(const uint32_t (&table)[N], char32_t c) {
    return std::find(std::begin(table), std::end(table), c) != std::end(table);
}

std::u32string Decompose(const std::u32string& text, const Tables& tables) {
    std::u32string out;
    for (char32_t c : text) {
        if (c >= kSyllableBase && c < kSyllableBase + kSyllables) {
            const char32_t index = c - kSyllableBase;
            out += kLeadBase + index / (kVowels * kTrails);
            out += kVowelBase + index % (kVowels * kTrails) / kTrails;
            if (index % kTrails != 0) out += kTrailBase + index % kTrails;
            continue;
        }
        const auto found = tables.decompositions.find(c);
        out += found != tables.decompositions.end() ? found->second : std::u32string(1, c);
    }
    // Marks that combine in any order are put in the order of their classes.
    for (size_t i = 1; i < out.size(); ++i) {
        for (size_t k = i; k > 0; --k) {
            const int before = CombiningClass(out[k - 1]);
            const int after = CombiningClass(out[k]);
            if (after == 0 || before <= after) break;
            std::swap(out[k - 1], out[k]);
        }
    }
    return out;
}

// The composite of two characters, or 0.
char32_t Composite(char32_t first, char32_t second, const Tables& tables) {
    if (first >= kLeadBase && first < kLeadBase + 19 && second >= kVowelBase &&
        second < kVowelBase + kVowels) {
        return kSyllableBase + ((first - kLeadBase) * kVowels + (second - kVowelBase)) * kTrails;
    }
    if (first >= kSyllableBase && first < kSyllableBase + kSyllables &&
        (first - kSyllableBase) % kTrails == 0 && second > kTrailBase &&
        second < kTrailBase + kTrails) {
        return first + (second - kTrailBase);
    }
    const auto found = tables.compositions.find({first, second});
    return found != tables.compositions.end() ? found->second : 0;
}

std::u32string Compose(const std::u32string& text, const Tables& tables) {
    std::u32string out;
    size_t starter = std::u32string::npos;
    int lastClass = -1;
    for (char32_t c : text) {
        const int cls = CombiningClass(c);
        // A mark composes with the last starter unless a mark of its class or
        // a starter stands between them.
        if (starter != std::u32string::npos &&
            (lastClass < cls || (lastClass == 0 && cls == 0 && starter + 1 == out.size()))) {
            if (const char32_t composite = Composite(out[starter], c, tables)) {
                out[starter] = composite;
                continue;
            }
        }
        if (cls == 0) {
            starter = out.size();
            lastClass = 0;
        } else {
            lastClass = cls;
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string Prepare(const std::string& text) {
    static const Tables tables;
    std::u32string mapped;
    for (char32_t c : utf8::ToCharacters(text)) {
        if (In(kMappedToNothing, c)) continue;
        mapped += In(kNonAsciiSpaces, c) ? U' ' : c;
    }
    return utf8::FromCharacters(Compose(Decompose(mapped, tables), tables));
}

}  // namespace saslprep
