#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "base/text_format.h"

namespace {

bool HasPrefix(const std::string& argument, const char* prefix) {
    return argument.compare(0, std::strlen(prefix), prefix) == 0;
}

void Print(const char* text) {
    std::fputs(text, stdout);
}

// The usage text's advice for many files, which the refusal of wildcards repeats.
const char kManyFiles[] =
    "if you want to process many files then do: dir /B *.pdf > list.txt, then Folivant "
    "-ilist.txt -fc:\\test -xbookmarks.xml";

const int kMostWorkers = 64;

// The number of -j<N>: how many list entries run at a time.
int WorkersOf(const std::string& argument) {
    const std::string number = argument.substr(2);
    const bool digits = !number.empty() && number.size() <= 3 &&
                        number.find_first_not_of("0123456789") == std::string::npos;
    const int workers = digits ? std::stoi(number) : 0;
    if (workers < 1 || workers > kMostWorkers) {
        throw Error(Format("-j parameter must be a number from 1 to %d\n", kMostWorkers));
    }
    return workers;
}

}  // namespace

void PrintBanner() {
    Print("\n");
    Print("Folivant " FOLIVANT_VERSION " - PDF bookmark tool of the Folivant project\n");
    Print("Website: https://folivant.example.org\n");
    Print("Email: support@folivant.example.org\n");
    Print("\n");
}

void PrintUsage() {
    PrintBanner();
    Print("Parameters:\n");
    Print("-i<filename> input PDF file filename\n");
    Print("-o<filename> output PDF file filename\n");
    Print(
        "-f<pdf output folder> destination folder, the source file title is used for output pdf "
        "file title\n");
    Print("-x<xml input filename> input bookmark file\n");
    Print("-e<bookmark xml output filename> output bookmark file\n");
    Print("-update updates bookmark in pdf file from -x bookmark filename\n");
    Print("-j<N> with -f, runs N files of the list at a time (default 1)\n");
    Print("-p<password> user or owner password of an encrypted input PDF file\n");
    Print("--verbose with an error, also says where in the input PDF file it is\n");
    Print("\n");
    Print("\nExample usage:-\n");
    Print("Folivant -i<pdf input filename> -e<bookmark xml output filename>\n");
    Print("for adding (remove all existing first):\n");
    Print("Folivant -i<pdf input filename> -o<pdf output filename> -x<xml input filename> \n");
    Print("for updating:\n");
    Print(
        "Folivant -i<pdf input filename> -o<pdf output filename> -x<xml input filename> "
        "-update\n");
    Print("see examples folder for all parameters usage in test.bat\n");
    Print("NOTE: first 2 parameters have to be -i -e, -i -o or -i -f\n");
    Print(
        "If your filename has spaces in it then use double quotes around the filename, e.g. "
        "\"c:\\my test\\test file.pdf\"\n");
    std::printf("\nWildcards * are not permitted, %s\n", kManyFiles);
    Print("\n");
    Print("\n");
}

bool RunJob(const JobSpec& spec, JobReport& report) {
    try {
        Job(spec, report).run();
        report.done();
        return true;
    } catch (const Error& failure) {
        report.message(failure.message());
        const Error::Place& place = failure.place();
        if (spec.verbose && place.known()) {
            std::string where = "Where:";
            if (place.object >= 0)
                where += Format(" object %lld", static_cast<long long>(place.object));
            if (place.offset >= 0)
                where += Format(" offset %lld", static_cast<long long>(place.offset));
            report.message(where);
        }
    } catch (const std::exception& failure) {
        // A failure of the standard library (out of memory, ...) says what it was.
        report.message(failure.what());
    } catch (...) {
        report.message("Unexpected exception");
    }
    return false;
}

Options TakeOptions(Arguments& arguments) {
    // The first two arguments name the input and what is made of it; the
    // options may follow in any order.
    Options options;
    for (size_t i = 2; i < arguments.size();) {
        const std::string& argument = arguments[i];
        if (HasPrefix(argument, "-p")) {
            options.password = argument.substr(2);
        } else if (HasPrefix(argument, "-j") && i >= 3) {
            options.workers = WorkersOf(argument);
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            ++i;
            continue;
        }
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return options;
}

int RunFolivant(int argc, const char* const* argv) {
    Arguments arguments(argv, argv + argc);
    // The conventions users try first; everything else keeps the tool's own grammar.
    if (argc <= 1 || (argc == 2 && arguments[1] == "--help")) {
        PrintUsage();
        return 0;
    }
    if (argc == 2 && arguments[1] == "--version") {
        Print("Folivant " FOLIVANT_VERSION "\n");
        return 0;
    }
    if (argc > 2) {
        for (int i = 1; i < argc; ++i) {
            if (arguments[i].find('*') != std::string::npos) {
                std::printf("\nError! Wildcards * are not permitted, %s\n\n", kManyFiles);
                return 1;
            }
        }
    }
    PrintBanner();
    JobReport report(stdout);
    try {
        const Options options = TakeOptions(arguments);
        if (const std::optional<int> listResult = RunFileList(arguments, options)) {
            return *listResult;
        }
        const JobSpec spec = ParseJob(arguments, options);
        return RunJob(spec, report) ? 0 : 1;
    } catch (const std::exception& failure) {
        report.message(failure.what());
    } catch (...) {
        report.message("Unexpected exception");
    }
    return 1;
}

JobSpec ParseJob(const Arguments& arguments, const Options& options) {
    auto expect = [&](size_t index, const char* prefix, const char* message) -> std::string {
        if (!HasPrefix(arguments[index], prefix)) throw Error(message);
        return arguments[index].substr(2);
    };
    JobSpec spec;
    spec.password = options.password;
    spec.verbose = options.verbose;
    switch (arguments.size()) {
        case 3:
            spec.input = expect(1, "-i", "-i parameter missing\n");
            spec.xml = expect(2, "-e", "-e parameter missing\n");
            spec.kind = JobSpec::Kind::Export;
            return spec;
        case 4:
        case 5:
            spec.input = expect(1, "-i", "-i parameter missing\n");
            spec.output = expect(2, "-o", "-o parameter missing\n");
            spec.xml = expect(3, "-x", "-x parameter missing\n");
            spec.kind = JobSpec::Kind::Add;
            if (arguments.size() == 5) {
                if (arguments[4] != "-update") throw Error("-update parameter missing\n");
                spec.kind = JobSpec::Kind::Update;
            }
            return spec;
        default:
            throw Error("Error parameter\n");
    }
}

void Job::run() {
    if (spec_.kind == JobSpec::Kind::Export) {
        exportBookmarks();
    } else {
        writeNewPdf();
    }
    reportWarnings();
    if (warnings_.notShown() > 0) {
        report_.message(Format("Warning: %llu more warnings not shown",
                               static_cast<unsigned long long>(warnings_.notShown())));
    }
}
