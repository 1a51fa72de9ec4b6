#include <sys/stat.h>

#include <cstdio>

#include "app/application.h"
#include "app/text_format.h"
#include "structure/outline.h"

void CFolivants::OpenDocument() {
    document.open(inputName);
    xref = document.getXRef();
    rootObject = static_cast<uint32_t>(xref->rootNum);
    rootGeneration = static_cast<uint32_t>(xref->rootGen);
    if (mode != modeExport) {
        infoObject = static_cast<uint32_t>(xref->infoNum);
        infoGeneration = static_cast<uint32_t>(xref->infoGen);
    }
    xrefEntries = &xref->getEntries();
}

static bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b {};
    return !path.empty() && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

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
    bool xmlCreated = false;
    try {
        bool opened = inputFile.open(inputName, "rb");
        std::printf("Input file: '%s'", inputName.c_str());
        if (!opened) throw CPdfException("Input file open error\n");
        OpenDocument();
        BuildPageTable();

        const CPdfOutline* outline = document.getOutline();
        if (outline->items) {
            // Never truncate the file being read.
            bool refused = WouldOverwriteInput(xmlName);
            if (!refused) xmlCreated = xmlFile.open(xmlName, "wb");
            std::printf(", XML output file: '%s'\n", xmlName.c_str());
            if (refused) throw OverwriteRefusal(xmlName);
            if (!xmlCreated) throw CPdfException("XML file open error\n");
            std::fputs("<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n", xmlFile.get());
            std::fputs("<Bookmarks>\r\n", xmlFile.get());
            CollectBookmarks(*outline->items, bookmarks, 0, true);
            std::fputs("</Bookmarks>\r\n", xmlFile.get());
            // A full disk must not end in "Done." over a cut-off file.
            bool written = std::ferror(xmlFile.get()) == 0;
            if (!xmlFile.close() || !written) throw CPdfException("XML file write error\n");
        }
        document.close();
        inputFile.close();
    } catch (...) {
        xmlFile.close();
        if (xmlCreated) std::remove(xmlName.c_str());
        inputFile.close();
        document.close();
        throw;
    }
}
