
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "base/platform.h"
#include "base/text_format.h"

namespace {

bool HasPrefix(const char* argument, const char* prefix) {
    return std::strncmp(argument, prefix, std::strlen(prefix)) == 0;
}

void Print(const char* text) {
    std::fputs(text, stdout);
}

// Runs one job on a fresh application object, as the list form and the
// single form both do.
void RunOneJob(int argc, const char* const* argv, ItemCounter& counter) {
    auto application = std::make_unique<CFolivants>(counter);
    application->Run(argc, argv);
    application.reset();
    Print("\nDone.\n");
}

}  // namespace

void PrintBanner() {
    Print("\r\n");
    Print("Folivant v1.09 - PDF bookmark tool of the Folivant project\r\n");
    Print("Website: https://folivant.example.org\r\n");
    Print("Email: support@folivant.example.org\r\n");
    Print("\r\n");
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
    Print("\n");
    Print("\r\nExample usage:-\r\n");
    Print("Folivant -i<pdf input filename> -e<bookmark xml output filename>\n");
    Print("for adding (remove all existing first):\n");
    Print("Folivant -i<pdf input filename> -o<pdf output filename> -x<xml input filename> \n");
    Print("for updating:\n");
    Print(
        "Folivant -i<pdf input filename> -o<pdf output filename> -x<xml input filename> "
        "-update\n");
    Print("see examples folder for all parameters usage in test.bat\r\n");
    Print("NOTE: first 2 parameters have to be -i -o or -i -f\r\n");
    Print(
        "If your filename has spaces in it then use double quotes around the filename, e.g. "
        "\"c:\\my test\\test file.pdf\"\n");
    Print(
        "\nWildcards * are not permitted, if you want to process many files then do: dir /B "
        "*.pdf > list.txt, then Folivant -ilist.txt -fc:\\test\n");
    Print("\r\n");
    Print("\r\n");
}

namespace {

bool EndsWithTxt(const std::string& name) {
    if (name.size() < 4) return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".txt";
}

// The entries of a list file: one per line (CR, LF or CR LF), blanks around
// them trimmed, blank lines and a leading byte-order mark skipped.
std::vector<std::string> ListEntries(std::string text) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<std::string> entries;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        entries.push_back(line.substr(first, line.find_last_not_of(" \t") - first + 1));
    }
    return entries;
}

// The entry's file name without its folders, as the output takes it.
std::string BaseName(const std::string& entry) {
    const size_t slash = entry.find_last_of("/\\");
    return slash == std::string::npos ? entry : entry.substr(slash + 1);
}

// Refuses a list whose outputs would collide: two entries with one output, or
// an output that is the input of an entry still to come.
void CheckOutputs(const std::vector<std::string>& entries,
                  const std::vector<std::string>& outputs) {
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            if (outputs[i] == outputs[j]) {
                throw CPdfException(Format("List entries would write the same output file: '%s'\n",
                                           outputs[i].c_str()));
            }
            if (outputs[i] == entries[j] || platform::SameFile(outputs[i], entries[j])) {
                throw CPdfException(Format("Output file would overwrite an input file: '%s'\n",
                                           outputs[i].c_str()));
            }
        }
    }
}

}  // namespace

std::optional<int> RunFileList(int argc, const char* const* argv, ItemCounter& counter) {
    if (!HasPrefix(argv[1], "-i") || !EndsWithTxt(argv[1] + 2)) return std::nullopt;
    const std::string listName = argv[1] + 2;
    if (argc < 3 || !HasPrefix(argv[2], "-f") || argv[2][2] == '\0') {
        Print("please specify -f for output folder, e.g. -fc:\\test\n");
        return 1;
    }
    if (argc < 4) throw CPdfException("-x parameter missing\n");
    const std::string folder = argv[2] + 2;
    // The rest of the command line is checked once, before anything is made.
    std::vector<const char*> arguments(argv, argv + argc);
    const std::string probeOutput = "-o" + folder;
    arguments[2] = probeOutput.c_str();
    CFolivants(counter).ParseArguments(argc, arguments.data());

    const std::optional<std::string> list = platform::ReadWholeFile(listName);
    if (!list) {
        std::printf("Unable to open file list: '%s'\r\n", listName.c_str());
        return 1;
    }
    const std::vector<std::string> entries = ListEntries(*list);
    std::vector<std::string> outputs;
    for (const std::string& entry : entries) outputs.push_back(folder + "/" + BaseName(entry));
    CheckOutputs(entries, outputs);
    platform::MakeFolder(folder);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string inputArgument = "-i" + entries[i];
        const std::string outputArgument = "-o" + outputs[i];
        arguments[1] = inputArgument.c_str();
        arguments[2] = outputArgument.c_str();
        RunOneJob(argc, arguments.data(), counter);
    }
    return 0;
}

int RunFolivant(int argc, const char* const* argv) {
    // The conventions users try first; everything else keeps the tool's own grammar.
    if (argc <= 1 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        PrintUsage();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        Print("Folivant v1.09\n");
        return 0;
    }
    if (argc > 2) {
        for (int i = 1; i < argc; ++i) {
            if (std::strchr(argv[i], '*') != nullptr) {
                Print(
                    "\nError! Wildcards * are not permitted, if you want to process many files "
                    "then do: dir /B *.pdf > list.txt, then Folivant -ilist.txt "
                    "-fc:\\test\n\n");
                return 1;
            }
        }
    }
    PrintBanner();
    ItemCounter counter;
    try {
        if (const std::optional<int> listResult = RunFileList(argc, argv, counter)) {
            return *listResult;
        }
        RunOneJob(argc, argv, counter);
        return 0;
    } catch (const CPdfException& failure) {
        Print(failure.GetMessage());
    } catch (...) {
        Print("Unexpected exception\n");
    }
    return 1;
}

void CFolivants::ParseArguments(int argc, const char* const* argv) {
    auto expect = [&](int index, const char* prefix, const char* message) -> std::string {
        if (!HasPrefix(argv[index], prefix)) throw CPdfException(message);
        return argv[index] + 2;
    };
    switch (argc) {
        case 3:
            inputName = expect(1, "-i", "-i parameter missing\n");
            xmlName = expect(2, "-e", "-e parameter missing\n");
            mode = modeExport;
            return;
        case 4:
        case 5:
            inputName = expect(1, "-i", "-i parameter missing\n");
            outputName = expect(2, "-o", "-o parameter missing\n");
            xmlName = expect(3, "-x", "-x parameter missing\n");
            mode = modeAdd;
            if (argc == 5) {
                if (std::strcmp(argv[4], "-update") != 0) {
                    throw CPdfException("-update parameter missing\n");
                }
                mode = modeUpdate;
            }
            return;
        default:
            throw CPdfException("Error parameter\n");
    }
}

void CFolivants::Run(int argc, const char* const* argv) {
    ParseArguments(argc, argv);
    switch (mode) {
        case modeExport:
            ExportBookmarks();
            break;
        case modeAdd:
            AddBookmarks();
            break;
        default:
            UpdateBookmarks();
            break;
    }
}
