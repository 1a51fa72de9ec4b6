#include "support/fixture.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "base/platform.h"

namespace fixture {

namespace {

// One cross-reference entry: type 0 free, 1 at an offset, 2 in an object stream.
struct Entry {
    int type = 0;
    int64_t field2 = 0;  // offset, or the object stream's number
    int64_t field3 = 0;  // generation, or the index in the object stream
};
using Entries = std::map<int, Entry>;

// The words of an "@xref" line.
struct Section {
    explicit Section(const std::string& line) {
        std::istringstream words(line.substr(5));
        words >> form;
        for (std::string word; words >> word;) {
            if (word[0] == '/') {
                std::getline(words, trailer);
                trailer = " " + word + trailer;
                break;
            }
            if (word.rfind("w=", 0) == 0)
                std::sscanf(word.c_str() + 2, "%d,%d,%d", &w[0], &w[1], &w[2]);
            index |= word == "index";
            compress &= word != "raw";
            prevRef |= word == "prevref";
            loop |= word == "loop";
        }
    }
    std::string form = "table";
    int w[3] = {1, 4, 2};
    bool index = false;
    bool compress = true;
    bool prevRef = false;
    bool loop = false;  // the section's Prev names the section itself
    std::string trailer;
};

// Sets "/Length ?" to the length of the stream data, deflating it first when
// the dictionary names FlateDecode.
std::string WithStreamData(std::string body) {
    const size_t length = body.find("/Length ?");
    if (length == std::string::npos) return body;
    const size_t start = body.find("stream\n", length) + 7;
    const size_t end = body.rfind("\nendstream");
    if (start < 7 || end == std::string::npos || end < start)
        throw std::logic_error("no stream data");
    std::string data = body.substr(start, end - start);
    if (body.find("/FlateDecode") < start) data = Deflate(data);
    body.replace(start, end - start, data);
    return body.replace(length, 9, "/Length " + std::to_string(data.size()));
}

// The regular expressions recurse per character: a long line (stream data,
// a large string on a line of its own) is never an object's header anyway.
bool IsShort(const std::string& line) {
    return line.size() < 4096;
}

class Layout {
public:
    explicit Layout(const std::string& text);
    std::string bytes;
    std::string version = "1.7";  // of the header
    // Gaps the file leaves: where in bytes each one starts, and its size.
    std::vector<std::pair<size_t, int64_t>> holes;

private:
    int64_t position() const {
        return static_cast<int64_t>(bytes.size() - headerStart_) + holeBytes_;
    }
    int size() const { return highest_ + 1; }
    void object(int number, int generation, const std::string& body);
    void endObjectStream();
    void endSection(const Section& section);
    void writeTable(const Section& section, Entries rows, const std::string& hidden);
    void writeStream(const Section& section, const Entries& rows, int number);
    std::string prev(const Section& section) const {
        if (previousXref_ < 0) return "";
        return " /Prev " + std::to_string(previousXref_) + (section.prevRef ? " 0 R" : "");
    }
    int newObject() {
        listed_[nextAutomatic_] = {1, position(), 0};
        highest_ = std::max(highest_, listed_.rbegin()->first);
        return nextAutomatic_++;
    }

    size_t headerStart_ = 0;
    Entries listed_;  // this section's entries
    Entries state_;   // every object's newest entry
    std::map<int, int64_t> offsets_;
    std::map<int, std::string> overrides_;
    int objectStream_ = -1;
    std::string objectStreamFilter_;
    int lengthOff_ = 0;
    std::vector<std::pair<int, std::string>> members_;
    int nextAutomatic_ = 1;
    int highest_ = 0;
    int64_t previousXref_ = -1;
    int64_t holeBytes_ = 0;
    bool firstSection_ = true;
};

Layout::Layout(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);) lines.push_back(line);
    const std::regex header(R"(^(\d+) (\d+) obj$)");
    const std::regex oneLine(R"(^(\d+) (\d+) obj (.*) endobj$)");
    const std::regex numbered(R"(^(\d+) \d+ obj( |$)|^@objstm (\d+))");
    bool sectioned = false;
    for (const std::string& line : lines) {
        std::smatch match;
        if (IsShort(line) && std::regex_search(line, match, numbered)) {
            nextAutomatic_ =
                std::max(nextAutomatic_, std::stoi(match[match[1].matched ? 1 : 3]) + 1);
        }
        if (line.rfind("@junk ", 0) == 0) bytes += line.substr(6) + "\n";
        if (line.rfind("@version ", 0) == 0) version = line.substr(9);
        sectioned |= line.rfind("@xref ", 0) == 0;
    }
    if (!sectioned) lines.push_back("@xref table /Root 1 0 R");
    headerStart_ = bytes.size();
    bytes += "%PDF-" + version + "\n%\xE2\xE3\xCF\xD3\n";
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::smatch match;
        if (IsShort(line) && std::regex_match(line, match, oneLine)) {
            object(std::stoi(match[1]), std::stoi(match[2]), match[3]);
        } else if (IsShort(line) && std::regex_match(line, match, header)) {
            // Stream data runs to its "endstream" line, whatever it holds.
            std::string body;
            bool inData = false;
            for (++i; i < lines.size() && (inData || lines[i] != "endobj"); ++i) {
                body += (body.empty() ? "" : "\n") + lines[i];
                inData = inData ? lines[i] != "endstream" : lines[i] == "stream";
            }
            object(std::stoi(match[1]), std::stoi(match[2]), body);
        } else if (line.rfind("@objstm ", 0) == 0) {
            std::istringstream words(line.substr(8));
            words >> objectStream_;
            std::getline(words >> std::ws, objectStreamFilter_);
            // A Length that is off by some bytes: "length+3", "length-2".
            const size_t off = objectStreamFilter_.find("length");
            lengthOff_ = 0;
            if (off != std::string::npos) {
                lengthOff_ = std::stoi(objectStreamFilter_.substr(off + 6));
                objectStreamFilter_.erase(off);
                while (!objectStreamFilter_.empty() && objectStreamFilter_.back() == ' ')
                    objectStreamFilter_.pop_back();
            }
        } else if (line == "@end") {
            endObjectStream();
        } else if (line.rfind("@hole ", 0) == 0) {
            holes.emplace_back(bytes.size(), std::stoll(line.substr(6)));
            holeBytes_ += holes.back().second;
        } else if (line.rfind("@free ", 0) == 0) {
            listed_[std::stoi(line.substr(6))] = Entry{};
        } else if (line.rfind("@index ", 0) == 0) {
            std::istringstream words(line.substr(7));
            int number = 0;
            words >> number >> listed_[number].field3;
        } else if (line.rfind("@entry ", 0) == 0) {
            std::istringstream words(line.substr(7));
            int number = 0;
            words >> number >> overrides_[number];
        } else if (line.rfind("@xref ", 0) == 0) {
            endSection(Section(line));
        } else if (line[0] != '@' && line[0] != '#') {
            bytes += line + "\n";
        }
    }
}

void Layout::object(int number, int generation, const std::string& body) {
    if (objectStream_ >= 0) {
        listed_[number] = {2, objectStream_, static_cast<int64_t>(members_.size())};
        members_.emplace_back(number, body);
        return;
    }
    listed_[number] = {1, position(), generation};
    offsets_[number] = position();
    bytes += std::to_string(number) + " " + std::to_string(generation) + " obj\n" +
             WithStreamData(body) + "\nendobj\n";
}

void Layout::endObjectStream() {
    std::string head, objects;
    for (const auto& [number, body] : members_) {
        head += std::to_string(number) + " " + std::to_string(objects.size()) + " ";
        objects += body + "\n";
    }
    std::string dict = "<< /Type /ObjStm /N " + std::to_string(members_.size()) + " /First " +
                       std::to_string(head.size());
    std::string data = head + objects, filter = " /Filter /FlateDecode";
    if (objectStreamFilter_ == "hex") {  // deflated, then written in hexadecimal
        std::string hex;
        char digits[3];
        for (unsigned char c : Deflate(data)) hex += (std::snprintf(digits, 3, "%02X", c), digits);
        data = hex + ">";
        filter = " /Filter [/ASCIIHexDecode /FlateDecode]";
    } else if (!objectStreamFilter_.empty()) {  // the data as it is, under the filter named
        filter = " /Filter " + objectStreamFilter_;
    } else {
        data = Deflate(data);
    }
    const int number = objectStream_;
    objectStream_ = -1;
    members_.clear();
    object(number, 0,
           dict + " /Length " + std::to_string(static_cast<int64_t>(data.size()) + lengthOff_) +
               filter + " >>\nstream\n" + data + "\nendstream");
}

void Layout::endSection(const Section& section) {
    Entries compressed, rows;
    for (const auto& [number, entry] : listed_) {
        if (entry.type == 2) compressed[number] = entry;
    }
    if (section.form == "stream") {
        const int number = newObject();
        for (int n = 0; n < size(); ++n) {
            if (listed_.count(n)) {
                rows[n] = listed_[n];
            } else if (!section.index) {
                rows[n] = state_.count(n) ? state_[n] : Entry{0, 0, n == 0 ? 65535 : 0};
            }
        }
        writeStream(section, rows, number);
    } else {
        if (!compressed.empty() && section.form != "hybrid") {
            throw std::logic_error("compressed objects need an xref stream or a hybrid table");
        }
        std::string hidden;
        if (!compressed.empty()) {
            hidden = " /XRefStm " + std::to_string(position());
            writeStream(Section("@xref hidden index"), compressed, newObject());
        }
        for (const auto& [number, entry] : listed_) {
            if (entry.type != 2) rows[number] = entry;
        }
        if (!listed_.empty()) highest_ = std::max(highest_, listed_.rbegin()->first);
        writeTable(section, rows, hidden);
    }
    for (const auto& [number, entry] : listed_) state_[number] = entry;
    listed_.clear();
    overrides_.clear();
    firstSection_ = false;
}

void Layout::writeTable(const Section& section, Entries rows, const std::string& hidden) {
    // The first table lists every number, except those a hidden stream lists:
    // a free entry here would hide them.
    if (firstSection_) {
        rows[0] = {0, 0, 65535};
        for (int n = 1; n < size(); ++n) {
            if (listed_.count(n) == 0 || listed_[n].type != 2) rows.emplace(n, Entry{});
        }
    }
    for (const auto& [number, at] : overrides_) {
        rows[number] = {1, at[0] == '=' ? offsets_.at(std::stoi(at.substr(1))) : std::stoll(at),
                        rows[number].field3};
    }
    const int64_t xrefPosition = position();
    bytes += "xref\n";
    for (auto run = rows.begin(); run != rows.end();) {
        int count = 0;
        auto end = run;
        while (end != rows.end() && end->first == run->first + count) ++end, ++count;
        bytes += std::to_string(run->first) + " " + std::to_string(count) + "\n";
        for (char entry[32]; run != end; ++run) {
            std::snprintf(entry, sizeof entry, "%010lld %05lld %c\r\n",
                          static_cast<long long>(run->second.field2),
                          static_cast<long long>(run->second.field3),
                          run->second.type == 0 ? 'f' : 'n');
            bytes += entry;
        }
    }
    const std::string previous =
        section.loop ? " /Prev " + std::to_string(xrefPosition) : prev(section);
    bytes += "trailer\n<< /Size " + std::to_string(size()) + previous + hidden + section.trailer +
             " >>\nstartxref\n" + std::to_string(xrefPosition) + "\n%%EOF\n";
    previousXref_ = xrefPosition;
}

void Layout::writeStream(const Section& section, const Entries& rows, int number) {
    std::string packed, index;
    auto put = [&packed](int64_t value, int width) {
        for (int i = width - 1; i >= 0; --i)
            packed += static_cast<char>(i >= 8 ? 0 : (value >> (8 * i)));
    };
    for (const auto& [n, entry] : rows) {
        if (section.w[0] != 0) put(entry.type, section.w[0]);
        put(entry.field2, section.w[1]);
        put(entry.field3, section.w[2]);
        index += std::to_string(n) + " 1 ";
    }
    const int64_t at = position();
    const bool main = section.form == "stream";
    const std::string data = section.compress ? Deflate(packed) : packed;
    offsets_[number] = at;
    bytes += std::to_string(number) + " 0 obj\n<< /Type /XRef /Size " + std::to_string(size()) +
             " /W [" + std::to_string(section.w[0]) + " " + std::to_string(section.w[1]) + " " +
             std::to_string(section.w[2]) + "]" + (section.index ? " /Index [" + index + "]" : "") +
             (main ? prev(section) + section.trailer : "") + " /Length " +
             std::to_string(data.size()) + (section.compress ? " /Filter /FlateDecode" : "") +
             " >>\nstream\n" + data + "\nendstream\nendobj\n";
    if (main) {
        bytes += "startxref\n" + std::to_string(at) + "\n%%EOF\n";
        previousXref_ = at;
    }
}

}  // namespace

std::string BuildPdf(const std::string& text) {
    Layout layout(text);
    if (!layout.holes.empty()) throw std::logic_error("a file with holes is written with WritePdf");
    return layout.bytes;
}

void WritePdf(const std::string& path, const std::string& text) {
    const Layout layout(text);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    size_t done = 0;
    bool written = true;
    for (const auto& [at, size] : layout.holes) {
        written &= std::fwrite(layout.bytes.data() + done, 1, at - done, file) == at - done;
        // Seeking past what was written leaves a gap that takes no room on disk.
        written &= platform::Seek(file, size, SEEK_CUR);
        done = at;
    }
    const size_t rest = layout.bytes.size() - done;
    written &= std::fwrite(layout.bytes.data() + done, 1, rest, file) == rest;
    written &= std::fclose(file) == 0;
    if (!written) throw std::runtime_error("cannot write " + path);
}

std::string Pages(int count, const std::string& catalogExtra) {
    std::string kids, pages;
    for (int page = 3; page < count + 3; ++page) {
        kids += (page > 3 ? " " : "") + std::to_string(page) + " 0 R";
        pages += std::to_string(page) +
                 " 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >> endobj\n";
    }
    return "1 0 obj << /Type /Catalog /Pages 2 0 R" +
           (catalogExtra.empty() ? "" : " " + catalogExtra) +
           " >> endobj\n2 0 obj << /Type /Pages /Kids [" + kids + "] /Count " +
           std::to_string(count) + " >> endobj\n" + pages;
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
