#include <algorithm>

#include "app/application.h"
#include "pdf/characters.h"
#include "structure/catalog.h"
#include "writer/writer.h"

namespace {

// Page-tree nodes nested deeper than this are taken as damaged.
constexpr int kMaxPageTreeDepth = 256;

[[noreturn]] void Damaged() {
    throw CPdfException("PDF file was damaged.\n");
}

bool IsDigit(char c) {
    return IsDecimalDigit(c);
}

}  // namespace

void CFolivants::BuildPageTable() {
    std::optional<std::string> catalogText =
        ReadObjectText(inputFile.get(), rootObject, *xref, *xrefEntries, HeaderStart());
    pagesObject = catalogText ? FindReference(*catalogText, "/Pages") : 0;

    std::optional<std::string> rootText =
        ReadObjectText(inputFile.get(), pagesObject, *xref, *xrefEntries, HeaderStart());
    CPdfElement root;
    xref->fetch(static_cast<int32_t>(pagesObject), static_cast<int32_t>(GenerationOf(pagesObject)),
                root);
    CPdfElement count;
    if (root.isDict()) root.getDict()->lookup("Count", count);

    // The table holds the pages that really exist: a Count that is missing, not
    // an integer, or larger than the page tree gives way to the pages found.
    const auto pagesFound = static_cast<uint32_t>(document.getCatalog()->getPageCount());
    pageCount = count.isInt() && count.getInt() >= 0
                    ? std::min(static_cast<uint32_t>(count.getInt()), pagesFound)
                    : pagesFound;
    pageTable.assign(pageCount, 0);
    pageCounter = 0;
    walkedNodes_ = {pagesObject};
    if (rootText) WalkPageNode(*rootText, 0);
    if (pageCounter < pageCount) {
        pageCount = pageCounter;
        pageTable.resize(pageCount);
    }
}

void CFolivants::WalkPageNode(const std::string& text) {
    WalkPageNode(text, 0);
}

void CFolivants::WalkPageNode(const std::string& text, int depth) {
    if (depth >= kMaxPageTreeDepth) Damaged();
    size_t at = FindText(text, "/Kids");
    if (at == 0) at = FindText(text, "[");
    if (at == 0) return;

    bool generationState = false;
    uint32_t kid = 0;
    while (at < text.size()) {
        char c = text[at];
        if (c == ']' || c == '/') return;
        if (!IsDigit(c)) {
            ++at;
            continue;
        }
        uint64_t number = 0;
        for (; at < text.size() && IsDigit(text[at]); ++at) {
            number =
                std::min<uint64_t>(number * 10 + static_cast<uint64_t>(text[at] - '0'), UINT32_MAX);
        }
        ++at;  // the byte behind the run
        if (!generationState) {
            kid = static_cast<uint32_t>(number);
            generationState = true;
            continue;
        }
        generationState = false;

        std::optional<std::string> kidText =
            ReadObjectText(inputFile.get(), kid, *xref, *xrefEntries, HeaderStart());
        CPdfElement object;
        xref->fetch(static_cast<int32_t>(std::min<uint32_t>(kid, INT32_MAX)),
                    static_cast<int32_t>(GenerationOf(kid)), object);
        if (object.isNull()) Damaged();
        if ((kidText && FindText(*kidText, "/Pages") != 0) || object.isArray()) {
            // A node met before would make the walk go round in a circle.
            if (!walkedNodes_.insert(kid).second) Damaged();
            WalkPageNode(kidText ? *kidText : std::string(), depth + 1);
        } else if (pageCounter < pageCount) {
            pageTable[pageCounter++] = kid;
        }
    }
}

uint32_t CFolivants::PageNumberOfObject(uint32_t objectNumber) const {
    for (size_t i = 0; i < pageTable.size(); ++i) {
        if (pageTable[i] == objectNumber) return static_cast<uint32_t>(i + 1);
    }
    return 0;
}
