#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/job_report.h"
#include "base/error.h"
#include "base/warnings.h"
#include "bookmarks/record.h"

namespace pdf {
class FileReader;
}

// The program's entry point: returns the process exit status.
int RunFolivant(int argc, const char* const* argv);
void PrintBanner();
void PrintUsage();

// A command line as the program got it, its name first.
using Arguments = std::vector<std::string>;

// What one job is to do, as its command line says.
struct JobSpec {
    enum class Kind { Export, Add, Update };
    Kind kind = Kind::Export;
    std::string input;     // the PDF read
    std::string output;    // the PDF written (add, update)
    std::string xml;       // the bookmark file written (export) or read
    std::string password;  // -p: for an encrypted input
    bool verbose = false;  // --verbose: a failure says where in the input
};

// The options that may stand anywhere after -i, taken out of a command line:
// -p<password>, -j<N> (how many list entries run at a time) and --verbose.
struct Options {
    std::string password;
    int workers = 1;
    bool verbose = false;
};
Options TakeOptions(Arguments& arguments);

// The job a command line (its options taken out) selects by the number and
// order of its arguments. Throws Error when it selects none.
JobSpec ParseJob(const Arguments& arguments, const Options& options);

// One job: a pipeline over the layers below: open the input, build the page
// table, gather records, write the output. Its messages go to a report.
class Job {
public:
    Job(JobSpec spec, JobReport& report) : spec_(std::move(spec)), report_(report) {}
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Throws Error, and then leaves no output behind.
    void run();

private:
    void exportBookmarks();
    void writeNewPdf();
    // Opens the input PDF, naming it in the report.
    std::shared_ptr<pdf::FileReader> openInput();
    // Whether outputPath names the input PDF (or, for add and update, the XML file).
    bool wouldOverwriteInput(const std::string& outputPath) const;
    // Prints the warnings not yet printed.
    void reportWarnings();

    JobSpec spec_;
    JobReport& report_;
    Warnings warnings_;
    // Every job numbers its items from 1, so that one bookmark file edits
    // every PDF of a list alike.
    ItemCounter counter_;
};

// Runs one job, its messages (a failure's among them) into the report,
// "Done." last when it succeeds. True then.
bool RunJob(const JobSpec& spec, JobReport& report);

// The list form, -i<list>.txt -f<folder> -x<bookmarks> [-update]: each entry
// of the list into <folder>/<its base name>, on options.workers threads.
// Nothing when the command line is not the list form; else the exit status.
// Throws Error when an argument or the list is refused, before anything is
// written.
std::optional<int> RunFileList(const Arguments& arguments, const Options& options);

// The refusal of an output path that names a file the job reads.
Error OverwriteRefusal(const std::string& outputPath);
// The refusals of an output that cannot be made or written, with the system's reason.
Error CreateRefusal(const std::string& outputPath, const std::string& problem);
