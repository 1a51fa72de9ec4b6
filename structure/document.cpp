#include "structure/document.h"

#include <cstring>

#include "base/exception.h"
#include "base/platform.h"
#include "structure/catalog.h"
#include "structure/outline.h"

CPdfDocument::CPdfDocument() = default;

CPdfDocument::~CPdfDocument() {
    close();
}

void CPdfDocument::open(const std::string& path) {
    close();
    file_ = platform::OpenFile(path, "rb");
    if (file_ == nullptr) throw CPdfException("Can't open PDF file\n");
    CPdfElement none;
    none.initNull();
    stream_ = new CPdfFileStream(file_, 0, 0, none);
    try {
        findHeader();
        xref_ = std::make_unique<CPdfXRef>();
        xref_->init(stream_);
        catalog_ = std::make_unique<CPdfCatalog>();
        catalog_->readCatalog(xref_.get());
        outline_ = std::make_unique<CPdfOutline>(catalog_->outlines, xref_.get());
    } catch (...) {
        close();
        throw;
    }
    ok_ = true;
}

void CPdfDocument::findHeader() {
    constexpr int kHeadSize = 1023;
    constexpr int kLastHeaderPosition = 1017;
    unsigned char head[kHeadSize];
    for (int i = 0; i < kHeadSize; ++i) {
        int c = stream_->getChar();
        head[i] = static_cast<unsigned char>(c < 0 ? 0xFF : c);
    }
    for (int p = 0; p <= kLastHeaderPosition; ++p) {
        if (std::memcmp(head + p, "%PDF-", 5) == 0) {
            // Every cross-reference offset counts from the header.
            stream_->moveStart(p);
            return;
        }
    }
}

void CPdfDocument::close() {
    // Outline and catalog hold values that point into the cross-reference table.
    outline_.reset();
    catalog_.reset();
    xref_.reset();
    if (stream_ != nullptr) {
        stream_->decRef();
        stream_ = nullptr;
    }
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    ok_ = false;
}
