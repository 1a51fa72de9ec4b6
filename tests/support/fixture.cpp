#include "support/fixture.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fixture {

namespace {

// One cross-reference entry: type 0 free, 1 at an offset, 2 in an object stream.
struct Entry {
    int type = 0;
    long field2 = 0;  // offset, or the object stream's number
    long field3 = 0;  // generation, or the index in the object stream
};
using Entries = std::map<int, Entry>;

struct XrefOptions {
    std::string form = "table";
    int widths[3] = {1, 4, 2};
    bool index = false;
    bool compress = true;
    bool prevAsReference = false;
    std::string trailer;
};

XrefOptions ParseXrefLine(const std::string& line) {
    XrefOptions options;
    std::istringstream words(line.substr(5));
    words >> options.form;
    std::string word;
    while (words >> word) {
        if (word[0] == '/') {
            std::getline(words, options.trailer);
            options.trailer = word + options.trailer;
            break;
        }
        if (word.rfind("w=", 0) == 0) {
            std::sscanf(word.c_str() + 2, "%d,%d,%d", &options.widths[0], &options.widths[1],
                        &options.widths[2]);
        }
        options.index |= word == "index";
        options.compress &= word != "raw";
        options.prevAsReference |= word == "prevref";
    }
    return options;
}

// Sets "/Length ?" to the length of the stream data, deflating it first when
// the dictionary names FlateDecode.
std::string WithStreamData(std::string body) {
    const size_t length = body.find("/Length ?");
    if (length == std::string::npos) return body;
    const size_t start = body.find("stream\n", length) + 7;
    const size_t end = body.rfind("\nendstream");
    if (start < 7 || end == std::string::npos || end < start) {
        throw std::logic_error("stream without data lines");
    }
    std::string data = body.substr(start, end - start);
    if (body.find("/FlateDecode") < start) data = Deflate(data);
    body.replace(start, end - start, data);
    body.replace(length, 9, "/Length " + std::to_string(data.size()));
    return body;
}

void PutField(std::string& row, long value, int width) {
    for (int i = width - 1; i >= 0; --i) row += static_cast<char>(i >= 8 ? 0 : (value >> (8 * i)));
}

class Layout {
public:
    explicit Layout(const std::string& text);
    Built built;

private:
    void object(int number, int generation, const std::string& body);
    void endObjectStream();
    void endSection(const XrefOptions& options);
    void writeTable(const XrefOptions& options, Entries rows, const std::string& hidden);
    void writeStream(const XrefOptions& options, const Entries& rows, int number,
                     const std::string& extra);
    long position() const { return static_cast<long>(bytes().size() - headerStart_); }
    std::string& bytes() { return built.bytes; }
    const std::string& bytes() const { return built.bytes; }
    int size() const { return highest_ + 1; }

    size_t headerStart_ = 0;
    Entries listed_;  // this section's entries
    Entries state_;   // every object's newest entry
    std::map<int, std::string> overrides_;
    int objectStream_ = -1;
    std::vector<std::pair<int, std::string>> members_;
    int nextAutomatic_ = 1;
    int highest_ = 0;
    long previousXref_ = -1;
    bool firstSection_ = true;
};

Layout::Layout(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);) lines.push_back(line);
    const std::regex header(R"(^(\d+) (\d+) obj$)");
    const std::regex oneLine(R"(^(\d+) (\d+) obj (.*) endobj$)");
    std::string version = "1.7";
    std::string junk;
    bool sectioned = false;
    for (const std::string& line : lines) {
        std::smatch match;
        if (std::regex_match(line, match, header) || std::regex_match(line, match, oneLine)) {
            nextAutomatic_ = std::max(nextAutomatic_, std::stoi(match[1]) + 1);
        } else if (line.rfind("@objstm ", 0) == 0) {
            nextAutomatic_ = std::max(nextAutomatic_, std::stoi(line.substr(8)) + 1);
        } else if (line.rfind("@version ", 0) == 0) {
            version = line.substr(9);
        } else if (line.rfind("@junk ", 0) == 0) {
            junk += line.substr(6) + "\n";
        }
        sectioned |= line.rfind("@xref ", 0) == 0;
    }
    if (!sectioned) lines.push_back("@xref table /Root 1 0 R");

    bytes() = junk;
    headerStart_ = junk.size();
    bytes() += "%PDF-" + version + "\n%\xE2\xE3\xCF\xD3\n";
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::smatch match;
        if (std::regex_match(line, match, oneLine)) {
            object(std::stoi(match[1]), std::stoi(match[2]), match[3]);
        } else if (std::regex_match(line, match, header)) {
            // Stream data runs to its "endstream" line, whatever it holds.
            std::string body;
            bool inData = false;
            for (++i; i < lines.size() && (inData || lines[i] != "endobj"); ++i) {
                body += (body.empty() ? "" : "\n") + lines[i];
                inData = inData ? lines[i] != "endstream" : lines[i] == "stream";
            }
            object(std::stoi(match[1]), std::stoi(match[2]), body);
        } else if (line.rfind("@objstm ", 0) == 0) {
            objectStream_ = std::stoi(line.substr(8));
        } else if (line == "@end") {
            endObjectStream();
        } else if (line.rfind("@free ", 0) == 0) {
            listed_[std::stoi(line.substr(6))] = Entry{};
        } else if (line.rfind("@entry ", 0) == 0) {
            std::istringstream words(line.substr(7));
            int number = 0;
            words >> number >> overrides_[number];
        } else if (line.rfind("@xref ", 0) == 0) {
            endSection(ParseXrefLine(line));
        } else if (line.rfind("@version ", 0) != 0 && line.rfind("@junk ", 0) != 0 &&
                   line.rfind("#", 0) != 0) {
            bytes() += line + "\n";
        }
    }
}

void Layout::object(int number, int generation, const std::string& body) {
    if (objectStream_ >= 0) {
        listed_[number] = {2, objectStream_, static_cast<long>(members_.size())};
        members_.emplace_back(number, body);
        return;
    }
    listed_[number] = {1, position(), generation};
    built.offsets[number] = position();
    bytes() += std::to_string(number) + " " + std::to_string(generation) + " obj\n" +
               WithStreamData(body) + "\nendobj\n";
}

void Layout::endObjectStream() {
    std::string head, objects;
    for (const auto& [number, body] : members_) {
        head += std::to_string(number) + " " + std::to_string(objects.size()) + " ";
        objects += body + "\n";
    }
    const int number = objectStream_;
    const size_t members = members_.size();
    objectStream_ = -1;
    members_.clear();
    object(number, 0,
           "<< /Type /ObjStm /N " + std::to_string(members) + " /First " +
               std::to_string(head.size()) + " /Length ? /Filter /FlateDecode >>\nstream\n" + head +
               objects + "\nendstream");
}

void Layout::endSection(const XrefOptions& options) {
    Entries compressed;
    for (const auto& [number, entry] : listed_) {
        if (entry.type == 2) compressed[number] = entry;
    }
    if (options.form == "stream") {
        const int number = nextAutomatic_++;
        listed_[number] = {1, position(), 0};
        highest_ = std::max(highest_, listed_.rbegin()->first);
        Entries rows;
        for (int n = 0; n < size(); ++n) {
            if (listed_.count(n)) {
                rows[n] = listed_[n];
            } else if (!options.index) {
                rows[n] = state_.count(n) ? state_[n] : Entry{0, 0, n == 0 ? 65535 : 0};
            }
        }
        writeStream(options, rows, number, "");
    } else {
        if (!compressed.empty() && options.form != "hybrid") {
            throw std::logic_error("compressed objects need an xref stream or a hybrid table");
        }
        std::string hidden;
        if (!compressed.empty()) {
            const int number = nextAutomatic_++;
            listed_[number] = {1, position(), 0};
            highest_ = std::max(highest_, listed_.rbegin()->first);
            hidden = " /XRefStm " + std::to_string(position());
            XrefOptions stream;
            stream.index = true;
            writeStream(stream, compressed, number, "");
        }
        Entries rows;
        for (const auto& [number, entry] : listed_) {
            if (entry.type != 2) rows[number] = entry;
        }
        if (!listed_.empty()) highest_ = std::max(highest_, listed_.rbegin()->first);
        writeTable(options, rows, hidden);
    }
    for (const auto& [number, entry] : listed_) state_[number] = entry;
    listed_.clear();
    overrides_.clear();
    firstSection_ = false;
}

std::string PrevEntry(long previous, bool asReference) {
    if (previous < 0) return "";
    return " /Prev " + std::to_string(previous) + (asReference ? " 0 R" : "");
}

void Layout::writeTable(const XrefOptions& options, Entries rows, const std::string& hidden) {
    // The first table lists every number, except those a hidden stream lists:
    // a free entry here would hide them.
    if (firstSection_) {
        rows[0] = {0, 0, 65535};
        for (int n = 1; n < size(); ++n) {
            if (listed_.count(n) == 0 || listed_[n].type != 2) rows.emplace(n, Entry{});
        }
    }
    for (const auto& [number, offset] : overrides_) {
        rows[number] = {
            1, offset[0] == '=' ? built.offsets.at(std::stoi(offset.substr(1))) : std::stol(offset),
            rows[number].field3};
    }
    const long xrefPosition = position();
    bytes() += "xref\n";
    for (auto run = rows.begin(); run != rows.end();) {
        auto end = run;
        int count = 0;
        while (end != rows.end() && end->first == run->first + count) ++end, ++count;
        bytes() += std::to_string(run->first) + " " + std::to_string(count) + "\n";
        for (; run != end; ++run) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%010ld %05ld %c\r\n", run->second.field2,
                          run->second.field3, run->second.type == 0 ? 'f' : 'n');
            bytes() += entry;
        }
    }
    bytes() += "trailer\n<< /Size " + std::to_string(size()) +
               PrevEntry(previousXref_, options.prevAsReference) + hidden +
               (options.trailer.empty() ? "" : " " + options.trailer) + " >>\nstartxref\n" +
               std::to_string(xrefPosition) + "\n%%EOF\n";
    previousXref_ = xrefPosition;
}

void Layout::writeStream(const XrefOptions& options, const Entries& rows, int number,
                         const std::string& extra) {
    std::string packed, index;
    for (const auto& [n, entry] : rows) {
        if (options.widths[0] != 0) PutField(packed, entry.type, options.widths[0]);
        PutField(packed, entry.field2, options.widths[1]);
        PutField(packed, entry.field3, options.widths[2]);
        index += std::to_string(n) + " 1 ";
    }
    const long streamPosition = position();
    std::string dict = "/Type /XRef /Size " + std::to_string(size()) + " /W [" +
                       std::to_string(options.widths[0]) + " " + std::to_string(options.widths[1]) +
                       " " + std::to_string(options.widths[2]) + "]" +
                       (options.index ? " /Index [" + index + "]" : "") + extra;
    const bool mainSection = options.form == "stream";
    if (mainSection) {
        dict += PrevEntry(previousXref_, options.prevAsReference) +
                (options.trailer.empty() ? "" : " " + options.trailer);
    }
    std::string data = options.compress ? Deflate(packed) : packed;
    built.offsets[number] = streamPosition;
    bytes() += std::to_string(number) + " 0 obj\n<< " + dict + " /Length " +
               std::to_string(data.size()) + (options.compress ? " /Filter /FlateDecode" : "") +
               " >>\nstream\n" + data + "\nendstream\nendobj\n";
    if (mainSection) {
        bytes() += "startxref\n" + std::to_string(streamPosition) + "\n%%EOF\n";
        previousXref_ = streamPosition;
    }
}

}  // namespace

Built Build(const std::string& text) {
    return Layout(text).built;
}

std::string Pages(int count, const std::string& catalogExtra) {
    std::string kids, pages;
    for (int page = 3; page < count + 3; ++page) {
        kids += (page > 3 ? " " : "") + std::to_string(page) + " 0 R";
        pages += std::to_string(page) +
                 " 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>\nendobj\n";
    }
    return "1 0 obj\n<< /Type /Catalog /Pages 2 0 R" +
           (catalogExtra.empty() ? "" : " " + catalogExtra) + " >>\nendobj\n2 0 obj\n" +
           "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) +
           " >>\nendobj\n" + pages;
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

}  // namespace fixture
