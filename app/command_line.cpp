
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "base/platform.h"

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

int RunFileList(const std::string& listName, const char* secondArgument, int argc,
                const char* const* argv, ItemCounter& counter) {
    const std::string suffix = ".txt";
    if (listName.size() < suffix.size() ||
        listName.compare(listName.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return 0;
    }
    if (secondArgument == nullptr || !HasPrefix(secondArgument, "-f")) {
        Print("please specify -f for output folder, e.g. -fc:\\test\n");
        return 1;
    }
    const std::string folder = secondArgument + 2;
    platform::MakeFolder(folder);

    std::optional<std::string> list = platform::ReadWholeFile(listName);
    if (!list) {
        std::printf("Unable to open file list: '%s'\r\n", listName.c_str());
        return 1;
    }
    // Lists are UTF-8; editors on Windows may start them with a byte-order mark.
    if (list->compare(0, 3, "\xEF\xBB\xBF") == 0) list->erase(0, 3);
    for (size_t start = 0; start < list->size();) {
        const size_t end = std::min(list->find('\n', start), list->size());
        const std::string line = list->substr(start, end - start);
        start = end + 1;
        std::string entry = line.substr(0, line.find_first_of("\r\n"));
        std::string inputArgument = "-i" + entry;
        std::string outputArgument = "-o" + folder + "/" + entry;
        std::vector<const char*> arguments(argv, argv + argc);
        arguments[1] = inputArgument.c_str();
        arguments[2] = outputArgument.c_str();
        RunOneJob(argc, arguments.data(), counter);
    }
    return 2;
}

int RunFolivant(int argc, const char* const* argv) {
    if (argc <= 1) {
        PrintUsage();
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
        const std::string listName = std::strlen(argv[1]) < 2 ? "" : argv[1] + 2;
        int listResult = RunFileList(listName, argc > 2 ? argv[2] : nullptr, argc, argv, counter);
        if (listResult == 1) return 1;
        if (listResult == 2) return 0;
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
