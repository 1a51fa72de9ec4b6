#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/job_report.h"
#include "base/error.h"
#include "base/warnings.h"
#include "bookmarks/record.h"

class FileHandle;
class Document;

// The program's entry point: returns the process exit status.
int RunFolivant(int argc, const char* const* argv);
void PrintBanner();
void PrintUsage();

// A command line as the program got it, its name first.
using Arguments = std::vector<std::string>;

// The application object of one job: the command line it was given and the
// job that line chooses. Each job is a pipeline over the layers below:
// open the input, build the page table, gather records, write the output.
class CFolivants {
public:
    enum Mode : int32_t { modeExport = 0, modeAdd = 1, modeUpdate = 2 };

    // The job prints into its report.
    explicit CFolivants(JobReport& report) : report_(report) {}
    CFolivants(const CFolivants&) = delete;
    CFolivants& operator=(const CFolivants&) = delete;
    virtual ~CFolivants() = default;

    void ParseArguments(const Arguments& arguments);
    void Run(const Arguments& arguments);

    // The jobs; each throws Error and then leaves no output behind.
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
    // Opens the input and names it; throws when it cannot be read.
    void OpenInput(FileHandle& inputFile) const;
    // Prints the warnings not yet printed.
    void reportWarnings();

    JobReport& report_;
    Warnings warnings_;
    // Every job numbers its items from 1, so that one bookmark file edits
    // every PDF of a list alike.
    ItemCounter counter_;
};

// Runs one job on an application object of its own, its messages (a failure's
// among them) into the report, "Done." last when it succeeds. True then.
bool RunJob(const Arguments& arguments, JobReport& report);

// The list form, -i<list>.txt -f<folder> -x<bookmarks> [-update]: each entry
// of the list into <folder>/<its base name>, on `workers` threads. Nothing
// when the command line is not the list form; else the exit status. Throws
// Error when an argument or the list is refused, before anything is
// written.
std::optional<int> RunFileList(const Arguments& arguments, int workers);

// The refusal of an output path that names a file the job reads.
Error OverwriteRefusal(const std::string& outputPath);
// The refusals of an output that cannot be made or written, with the system's reason.
Error CreateRefusal(const std::string& outputPath, const std::string& problem);
