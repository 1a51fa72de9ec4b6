#include <sys/stat.h>

#include <cstdio>

#include "app/application.h"
#include "app/file_handle.h"
#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "structure/document.h"
#include "structure/page_table.h"

namespace {

bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b {};
    return !path.empty() && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace

bool CFolivants::WouldOverwriteInput(const std::string& outputPath) const {
    struct stat output {};
    if (::stat(outputPath.c_str(), &output) != 0) return false;
    bool readsXml = mode != modeExport;
    return SameFile(output, inputName) || (readsXml && SameFile(output, xmlName));
}

CPdfException OverwriteRefusal(const std::string& outputPath) {
    return CPdfException(
        Format("\nOutput file would overwrite an input file: '%s'\n", outputPath.c_str()));
}

void CFolivants::ExportBookmarks() {
    FileHandle inputFile;
    FileHandle xmlFile;
    CPdfDocument document;
    bool xmlCreated = false;
    try {
        bool opened = inputFile.open(inputName, "rb");
        std::printf("Input file: '%s'", inputName.c_str());
        if (!opened) throw CPdfException("Input file open error\n");
        document.open(inputName);
        const RawObjects input(inputFile.get(), *document.getXRef());
        const PageTable pages = PageTable::Build(
            input, *document.getCatalog(), static_cast<uint32_t>(document.getXRef()->rootNum));

        // A PDF without an outline dictionary has nothing to export.
        const CPdfOutline& outline = *document.getOutline();
        if (outline.items) {
            // Never truncate the file being read.
            bool refused = WouldOverwriteInput(xmlName);
            if (!refused) xmlCreated = xmlFile.open(xmlName, "wb");
            std::printf(", XML output file: '%s'\n", xmlName.c_str());
            if (refused) throw OverwriteRefusal(xmlName);
            if (!xmlCreated) throw CPdfException("XML file open error\n");
            const std::vector<BookmarkRecord> records = CollectBookmarks(
                *outline.items, *document.getCatalog(), pages, TitleForm::Xml, counter_);
            WriteBookmarkXml(xmlFile.get(), records);
            // A full disk must not end in "Done." over a cut-off file.
            bool written = std::ferror(xmlFile.get()) == 0;
            if (!xmlFile.close() || !written) throw CPdfException("XML file write error\n");
        }
    } catch (...) {
        xmlFile.close();
        if (xmlCreated) std::remove(xmlName.c_str());
        throw;
    }
}
