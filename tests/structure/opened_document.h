#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/exception.h"
#include "pdf/document.h"
#include "structure/catalog.h"
#include "structure/outline.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace structure_test {

using Objects = std::vector<std::pair<int, std::string>>;

// Objects given by number in one classic section, trailer /Root 1 0 R.
inline fixture::PdfBuilder Document(const Objects& objects) {
    fixture::PdfBuilder builder;
    for (const auto& [number, body] : objects) builder.object(number, body);
    fixture::SectionOptions options;
    options.trailerExtra = "/Root 1 0 R";
    builder.section(options);
    return builder;
}

// A built file written to a fresh folder and opened; open() throws as usual.
class OpenedDocument {
public:
    explicit OpenedDocument(const fixture::PdfBuilder& builder) {
        builder.writeTo(dir_.file("in.pdf"));
        document.open(dir_.file("in.pdf"));
    }

    TempDir dir_;
    CPdfDocument document;
};

// "pages N" when the file opens, otherwise the message it fails with.
inline std::string OpenResult(const fixture::PdfBuilder& builder) {
    try {
        OpenedDocument opened(builder);
        return "pages " + std::to_string(opened.document.getCatalog()->getPageCount());
    } catch (const CPdfException& failure) {
        return failure.Message();
    }
}

}  // namespace structure_test
