#include "structure/page_table.h"

#include <algorithm>

#include "base/exception.h"
#include "pdf/characters.h"

namespace {

// Page-tree nodes nested deeper than this are taken as damaged.
constexpr int kMaxPageTreeDepth = 256;

[[noreturn]] void Damaged() {
    throw CPdfException("PDF file was damaged.\n");
}

}  // namespace

// One walk over the raw page tree: the pages found so far and the nodes met.
class PageTable::Walk {
public:
    Walk(const RawObjects& input, std::vector<uint32_t>& pages, uint32_t limit)
        : input_(input), pages_(pages), limit_(limit) {}

    void node(const std::string& text, int depth);
    void markWalked(uint32_t number) { walked_.insert(number); }

private:
    void kid(uint32_t number, int depth);

    const RawObjects& input_;
    std::vector<uint32_t>& pages_;
    uint32_t limit_;
    std::set<uint32_t> walked_;
};

PageTable PageTable::Build(const RawObjects& input, const CPdfCatalog& catalog,
                           uint32_t rootObject) {
    std::optional<std::string> catalogText = input.text(rootObject);
    const uint32_t pagesObject = catalogText ? FindReference(*catalogText, "/Pages") : 0;

    std::optional<std::string> rootText = input.text(pagesObject);
    CPdfElement root;
    input.xref().fetch(static_cast<int32_t>(pagesObject),
                       static_cast<int32_t>(input.generationOf(pagesObject)), root);
    CPdfElement count;
    if (root.isDict()) root.getDict()->lookup("Count", count);

    // The table holds the pages that really exist: a Count that is missing, not
    // an integer, or larger than the page tree gives way to the pages found.
    const auto pagesFound = static_cast<uint32_t>(catalog.getPageCount());
    const uint32_t limit = count.isInt() && count.getInt() >= 0
                               ? std::min(static_cast<uint32_t>(count.getInt()), pagesFound)
                               : pagesFound;
    PageTable table;
    Walk walk(input, table.pages_, limit);
    walk.markWalked(pagesObject);
    if (rootText) walk.node(*rootText, 0);
    return table;
}

void PageTable::Walk::node(const std::string& text, int depth) {
    if (depth >= kMaxPageTreeDepth) Damaged();
    size_t at = FindText(text, "/Kids");
    if (at == 0) at = FindText(text, "[");
    if (at == 0) return;

    bool generationState = false;
    uint32_t number = 0;
    while (at < text.size()) {
        char c = text[at];
        if (c == ']' || c == '/') return;
        if (!IsDecimalDigit(c)) {
            ++at;
            continue;
        }
        uint64_t value = 0;
        for (; at < text.size() && IsDecimalDigit(text[at]); ++at) {
            value =
                std::min<uint64_t>(value * 10 + static_cast<uint64_t>(text[at] - '0'), UINT32_MAX);
        }
        ++at;  // the byte behind the run
        if (!generationState) {
            number = static_cast<uint32_t>(value);
            generationState = true;
            continue;
        }
        generationState = false;
        kid(number, depth);
    }
}

void PageTable::Walk::kid(uint32_t number, int depth) {
    std::optional<std::string> kidText = input_.text(number);
    CPdfElement object;
    input_.xref().fetch(static_cast<int32_t>(std::min<uint32_t>(number, INT32_MAX)),
                        static_cast<int32_t>(input_.generationOf(number)), object);
    if (object.isNull()) Damaged();
    if ((kidText && FindText(*kidText, "/Pages") != 0) || object.isArray()) {
        // A node met before would make the walk go round in a circle.
        if (!walked_.insert(number).second) Damaged();
        node(kidText ? *kidText : std::string(), depth + 1);
    } else if (pages_.size() < limit_) {
        pages_.push_back(number);
    }
}

uint32_t PageTable::pageOf(uint32_t objectNumber) const {
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i] == objectNumber) return static_cast<uint32_t>(i + 1);
    }
    return 0;
}
