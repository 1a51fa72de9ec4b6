#include "base/exception.h"
#include "base/text_format.h"
#include "pdf/characters.h"
#include "writer/pdf_writer.h"

namespace {

bool IsWhite(char c) {
    return IsPdfWhite(static_cast<unsigned char>(c));
}
bool IsDigit(char c) {
    return IsDecimalDigit(c);
}

size_t SkipWhite(const std::string& text, size_t at) {
    while (at < text.size() && IsWhite(text[at])) ++at;
    return at;
}

size_t SkipDigits(const std::string& text, size_t at) {
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at;
}

// The catalog text with its Outlines value naming the new root. A reference
// gets the new number (and generation 0); any other value is replaced whole.
std::string PointOutlinesAt(const std::string& text, size_t keyEnd, uint32_t outlinesNumber) {
    const std::string reference = Format("%u 0 R", outlinesNumber);
    size_t value = SkipWhite(text, keyEnd + 1);
    if (value < text.size() && IsDigit(text[value])) {
        size_t numberEnd = SkipDigits(text, value);
        size_t generation = SkipWhite(text, numberEnd);
        size_t generationEnd = SkipDigits(text, generation);
        size_t r = SkipWhite(text, generationEnd);
        bool isReference = numberEnd < generation && generation < generationEnd &&
                           generationEnd < r && r < text.size() && text[r] == 'R';
        // A bare number is no link to an outline: it becomes the reference too.
        return text.substr(0, value) + reference + text.substr(isReference ? r + 1 : numberEnd);
    }
    return text.substr(0, keyEnd + 1) + " " + reference + text.substr(SkipDirectValue(text, value));
}

}  // namespace

void PdfWriter::writeOutlineRoot(uint32_t number, uint32_t first, uint32_t last, uint32_t count) {
    // An outline without items has no first and last item to name.
    std::string text =
        count == 0 ? Format("%u 0 obj<<\n/Type/Outlines\n/Count 0\n>>endobj\n", number)
                   : Format(
                         "%u 0 obj<<\n/Type/Outlines\n/Count %u\n/First %u 0 R\n/Last %u 0 R\n"
                         ">>endobj\n",
                         number, count, first, last);
    writeObject(number, text);
}

void PdfWriter::writeCatalog(uint32_t outlinesNumber) {
    const auto rootObject = static_cast<uint32_t>(input_.xref().rootNum);
    std::optional<std::string> text = input_.text(rootObject);
    if (!text) throw CPdfException("PDF file was damaged.\n");

    size_t key = FindDictionaryKey(*text, "/Outlines");
    std::string catalog;
    if (key != 0) {
        catalog = PointOutlinesAt(*text, key, outlinesNumber);
    } else {
        size_t insertAt = FindText(*text, "<<") + 1;
        catalog = text->substr(0, insertAt) + Format("/Outlines %u 0 R\n", outlinesNumber) +
                  text->substr(insertAt);
    }
    writeObject(rootObject, catalog, input_.generationOf(rootObject));
}
