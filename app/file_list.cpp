// The list form: the list file read as people make it, and every entry
// checked before anything is written.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/application.h"
#include "app/list_runner.h"
#include "base/platform.h"
#include "base/text_format.h"
#include "base/utf8.h"
#include "pdf/text_string.h"

namespace {

bool EndsWithTxt(const std::string& name) {
    if (name.size() < 4) return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".txt";
}

// UTF-16 text with its byte-order mark, as UTF-8: a PDF text string is
// UTF-16BE after the same mark, so its decoder serves, the bytes of a
// little-endian text swapped first.
std::string Utf16ToUtf8(std::string bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    }
    return pdftext::Decode(bytes);
}

// The entries of a list's text: one per line (CR, LF or CR LF), blanks around
// them trimmed, blank lines skipped.
std::vector<std::string> EntriesOf(const std::string& text) {
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

bool AllExist(const std::vector<std::string>& names) {
    return std::all_of(names.begin(), names.end(),
                       [](const std::string& name) { return platform::StatusOf(name).exists(); });
}

// The entries of a list file as the tools people use write it: UTF-8 with or
// without a byte-order mark, UTF-16 with one, or else the system's own
// encoding (of the readings it offers, the first under which every entry is
// a file).
std::vector<std::string> ListEntries(const std::string& bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return EntriesOf(bytes.substr(3));
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        return EntriesOf(Utf16ToUtf8(bytes));
    }
    if (utf8::IsValid(bytes)) return EntriesOf(bytes);
    const std::vector<std::string> readings = platform::LocalTextReadings(bytes);
    for (const std::string& text : readings) {
        std::vector<std::string> entries = EntriesOf(text);
        if (readings.size() == 1 || AllExist(entries)) return entries;
    }
    return EntriesOf(readings.front());
}

// The entry's file name without its folders, as the output takes it.
std::string BaseName(const std::string& entry) {
    const size_t slash = entry.find_last_of("/\\");
    return slash == std::string::npos ? entry : entry.substr(slash + 1);
}

// What identifies a file by whatever name it is reached.
struct Identity {
    uint64_t volume;
    uint64_t index;
    bool operator==(const Identity& other) const {
        return volume == other.volume && index == other.index;
    }
};
struct IdentityHash {
    size_t operator()(const Identity& identity) const {
        return std::hash<uint64_t>()(identity.index * 0x9E3779B97F4A7C15ULL ^ identity.volume);
    }
};

// The system's reason why a name is no file to read.
std::string ProblemReading(const platform::FileStatus& status) {
    return status.folder ? platform::ErrorText(EISDIR) : status.problem;
}

// Refuses a list before anything is written: the bookmark file and every
// entry must be files, no two entries may write one output (names compared
// as the system compares them), and no output may be a file the run reads.
// Each name is looked at once.
void CheckList(const std::string& xmlName, const std::vector<std::string>& entries,
               const std::vector<std::string>& outputs) {
    std::unordered_set<Identity, IdentityHash> read;
    const platform::FileStatus xml = platform::StatusOf(xmlName);
    if (!xml.exists() || xml.folder) {
        throw Error(Format("XML file open error: '%s': %s\n", xmlName.c_str(),
                           ProblemReading(xml).c_str()));
    }
    read.insert({xml.volume, xml.index});
    for (const std::string& entry : entries) {
        const platform::FileStatus input = platform::StatusOf(entry);
        if (!input.exists() || input.folder) {
            throw Error(Format("Input file open error: '%s': %s\n", entry.c_str(),
                               ProblemReading(input).c_str()));
        }
        read.insert({input.volume, input.index});
    }
    std::unordered_map<std::string, size_t> written;
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (!written.emplace(platform::NameKey(BaseName(outputs[i])), i).second) {
            throw Error(Format("List entries would write the same output file: '%s'\n",
                               outputs[i].c_str()));
        }
    }
    for (const std::string& output : outputs) {
        const platform::FileStatus status = platform::StatusOf(output);
        if (status.exists() && status.folder) {
            throw CreateRefusal(output, platform::ErrorText(EISDIR));
        }
        if (status.exists() && read.count({status.volume, status.index}) != 0) {
            throw OverwriteRefusal(output);
        }
    }
}

}  // namespace

std::optional<int> RunFileList(const Arguments& arguments, const Options& options) {
    if (arguments.size() < 2 || arguments[1].compare(0, 2, "-i") != 0 ||
        !EndsWithTxt(arguments[1].substr(2))) {
        return std::nullopt;
    }
    const std::string listName = arguments[1].substr(2);
    if (arguments.size() < 3 || arguments[2].compare(0, 2, "-f") != 0 || arguments[2].size() == 2) {
        throw Error("please specify -f for output folder, e.g. -fc:\\test\n");
    }
    if (arguments.size() < 4) throw Error("-x parameter missing\n");
    const std::string folder = arguments[2].substr(2);
    // The rest of the command line is checked once, before anything is made:
    // it describes every entry's job but for its input and output.
    Arguments line = arguments;
    line[2] = "-o" + folder;
    const JobSpec common = ParseJob(line, options);

    const std::optional<std::string> list = platform::ReadWholeFile(listName);
    if (!list) throw Error(Format("Unable to open file list: '%s'\n", listName.c_str()));
    const std::vector<std::string> entries = ListEntries(*list);
    if (entries.empty()) {
        JobReport(stdout).message("Warning: the list names no PDF files");
        return 0;
    }
    std::vector<std::string> outputs;
    for (const std::string& entry : entries) outputs.push_back(folder + "/" + BaseName(entry));
    CheckList(common.xml, entries, outputs);
    const std::string problem = platform::MakeFolder(folder);
    if (!problem.empty()) {
        throw Error(
            Format("Output folder create error: '%s': %s\n", folder.c_str(), problem.c_str()));
    }
    std::vector<JobSpec> jobs;
    for (size_t i = 0; i < entries.size(); ++i) {
        JobSpec job = common;
        job.input = entries[i];
        job.output = outputs[i];
        jobs.push_back(std::move(job));
    }
    return RunEntries(jobs, options.workers);
}
