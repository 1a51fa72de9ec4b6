#pragma once

#include <memory>
#include <string>

#include "base/warnings.h"
#include "pdf/file_reader.h"
#include "pdf/xref.h"
#include "structure/catalog.h"
#include "structure/outline.h"

// One opened input file with its reading stack: the file, the
// cross-reference table, the catalog and the existing outline. Each part
// refers only to those declared before it, which outlive it.
class Document {
public:
    Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Throws Error; a failed open leaves the document closed. A table that
    // had to be rebuilt is warned of. password opens an encrypted file that
    // needs one (the user's or the owner's).
    void open(const std::string& path, Warnings& warnings, const std::string& password = "");
    void open(std::shared_ptr<pdf::FileReader> file, Warnings& warnings,
              const std::string& password = "");

    pdf::XRef& xref() const { return *xref_; }
    const Catalog& catalog() const { return *catalog_; }
    const Outline& outline() const { return *outline_; }

private:
    std::shared_ptr<pdf::FileReader> file_;
    std::unique_ptr<pdf::XRef> xref_;
    std::unique_ptr<Catalog> catalog_;
    std::unique_ptr<Outline> outline_;
};
