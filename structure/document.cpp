#include "structure/document.h"

#include <cstring>

#include "base/error.h"

namespace {

// Where the "%PDF-" header stands within the first kilobyte; every offset of
// the file counts from it.
uint64_t HeaderStart(pdf::FileReader& file) {
    constexpr size_t kHeadSize = 1023;
    constexpr size_t kLastHeaderPosition = 1017;
    const std::string head = file.bytes(0, kHeadSize);
    const size_t found = head.find("%PDF-");
    return found <= kLastHeaderPosition ? found : 0;  // npos is far beyond
}

}  // namespace

void Document::open(const std::string& path, Warnings& warnings, const std::string& password) {
    std::shared_ptr<pdf::FileReader> file = pdf::FileReader::Open(path);
    if (file == nullptr) throw Error("Can't open PDF file\n");
    open(std::move(file), warnings, password);
}

void Document::open(std::shared_ptr<pdf::FileReader> file, Warnings& warnings,
                    const std::string& password) {
    outline_.reset();
    catalog_.reset();
    xref_.reset();
    file_ = std::move(file);
    try {
        xref_ = std::make_unique<pdf::XRef>(file_, HeaderStart(*file_));
        xref_->init(true, password);
        if (xref_->wasRebuilt()) warnings.add("Warning: damaged cross-reference rebuilt");
        try {
            catalog_ = std::make_unique<Catalog>(*xref_, &warnings);
        } catch (const Error&) {
            // A trailer that names no catalog: the file's own may yet be found.
            if (!xref_->rebuildAnyway(password)) throw;
            warnings.add("Warning: damaged cross-reference rebuilt");
            catalog_ = std::make_unique<Catalog>(*xref_, &warnings);
        }
        outline_ = std::make_unique<Outline>(catalog_->outlines(), *xref_, &warnings);
    } catch (...) {
        outline_.reset();
        catalog_.reset();
        xref_.reset();
        file_.reset();
        throw;
    }
}
