#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/exception.h"
#include "bookmarks/record.h"

class FileHandle;
class Document;

// The program's entry point: returns the process exit status.
int RunFolivant(int argc, const char* const* argv);
void PrintBanner();
void PrintUsage();

// The application object of one job: the command line it was given and the
// job that line chooses. Each job is a pipeline over the layers below:
// open the input, build the page table, gather records, write the output.
class CFolivants {
public:
    enum Mode : int32_t { modeExport = 0, modeAdd = 1, modeUpdate = 2 };

    // Jobs of one run of the program share its item counter.
    explicit CFolivants(ItemCounter& counter) : counter_(counter) {}
    CFolivants(const CFolivants&) = delete;
    CFolivants& operator=(const CFolivants&) = delete;
    virtual ~CFolivants() = default;

    void ParseArguments(int argc, const char* const* argv);
    void Run(int argc, const char* const* argv);

    // The jobs; each throws CPdfException and then leaves no output behind.
    void ExportBookmarks();
    void AddBookmarks();
    void UpdateBookmarks();

    std::string inputName;
    std::string outputName;
    std::string xmlName;
    int32_t mode = modeExport;

private:
    void WriteNewPdf(bool update);
    // Whether outputPath names the input PDF (or, for add and update, the XML file).
    bool WouldOverwriteInput(const std::string& outputPath) const;
    // Opens the input and prints its line; throws when it cannot be read.
    void OpenInput(FileHandle& inputFile) const;
    // The warning line for an input whose cross-reference had to be rebuilt.
    void ReportRepairs(const Document& document) const;

    ItemCounter& counter_;
};

// The list form, -i<list>.txt -f<folder> -x<bookmarks> [-update]: each entry
// of the list into <folder>/<its base name>. Nothing when the command line is
// not the list form; else the exit status. Throws CPdfException when an
// argument or the list is refused, or a job fails (the run ends there).
std::optional<int> RunFileList(int argc, const char* const* argv, ItemCounter& counter);

// The refusal of an output path that names a file the job reads.
CPdfException OverwriteRefusal(const std::string& outputPath);
