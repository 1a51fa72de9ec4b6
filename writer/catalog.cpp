#include "base/error.h"
#include "base/text_format.h"
#include "pdf/lexer.h"
#include "writer/pdf_writer.h"

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
    const uint32_t rootObject = root_;
    const std::optional<std::string> text = input_.text(rootObject);
    const std::optional<pdf::DictionaryText> dict =
        text ? pdf::DictionaryText::Find(*text) : std::nullopt;
    if (!dict) throw Error("PDF file was damaged.\n");
    // The catalog as it stands, its Outlines (however spelt) naming the new root.
    const std::string catalog = dict->replaced(*text, "Outlines", Format("%u 0 R", outlinesNumber));
    noteReferences(catalog);
    writeObject(rootObject, catalog, input_.generationOf(rootObject));
}
