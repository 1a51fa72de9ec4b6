#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "pdf/stream.h"
#include "pdf/xref.h"

class CPdfCatalog;
class CPdfOutline;

// One opened input file with its reading stack: the whole-file stream, the
// cross-reference table, the catalog and the existing outline.
class CPdfDocument {
public:
    CPdfDocument();
    CPdfDocument(const CPdfDocument&) = delete;
    CPdfDocument& operator=(const CPdfDocument&) = delete;
    virtual ~CPdfDocument();

    // Throws CPdfException; a failed open leaves the document closed.
    void open(const std::string& path);
    void close();

    bool isOk() const { return ok_; }
    CPdfXRef* getXRef() const { return xref_.get(); }
    CPdfCatalog* getCatalog() const { return catalog_.get(); }
    CPdfOutline* getOutline() const { return outline_.get(); }

private:
    void findHeader();

    bool ok_ = false;
    std::FILE* file_ = nullptr;
    CPdfFileStream* stream_ = nullptr;
    std::unique_ptr<CPdfXRef> xref_;
    std::unique_ptr<CPdfOutline> outline_;
    std::unique_ptr<CPdfCatalog> catalog_;
};
