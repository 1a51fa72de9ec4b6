#include "support/harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "app/application.h"
#include "base/error.h"
#include "base/platform.h"
#include "pdf/raw_object.h"
#include "structure/document.h"

namespace fixture {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        auto candidate = fs::temp_directory_path() / ("folivant-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) path_ = candidate.generic_string();
    }
    if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;  // a leftover folder in the temporary folder is harmless
    fs::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
    // Names are UTF-8, as the program takes them, on every system.
    std::ifstream file(fs::u8path(path), std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(fs::u8path(path), std::ios::binary | std::ios::trunc);
    if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::u8path(path), ignored);
}

int QpdfWarnings(const std::string& path) {
    if (std::system("qpdf --version >/dev/null 2>&1") != 0) return 0;
    const int status =
        std::system(("qpdf --check '" + path + "' >'" + path + ".check' 2>&1").c_str());
    const std::string output = ReadFile(path + ".check");
    std::remove((path + ".check").c_str());
    if (output.find("reconstruct") != std::string::npos) return -1;
    if (status != 0 && platform::ExitStatus(status) != 3) return -1;
    int warnings = 0;
    for (size_t at = output.find("WARNING"); at != std::string::npos;
         at = output.find("WARNING", at + 1))
        ++warnings;
    return warnings;
}

RunResult RunProgram(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<const char*> argv{"folivant"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const fs::path previous = fs::current_path();
    if (!folder.empty()) fs::current_path(folder);
    testing::internal::CaptureStdout();
    const int status = RunFolivant(static_cast<int>(argv.size()), argv.data());
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    fs::current_path(previous);
    // The banner: a blank line, three lines of name and addresses, a blank line.
    if (out.rfind("\nFolivant ", 0) == 0) out.erase(0, out.find("\n\n", 1) + 2);
    return {status, out};
}

std::shared_ptr<pdf::ByteSource> Source(const std::string& bytes) {
    auto owned = std::make_shared<std::string>(bytes);
    return std::shared_ptr<pdf::ByteSource>(new pdf::MemorySource(*owned),
                                            [owned](pdf::ByteSource* source) { delete source; });
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        if (text[at] != '\\' || next == '\0') {
            out += text[at];
        } else if (next == 'x' && at + 3 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16));
            at += 3;
        } else {
            const std::string plain = "\\nrte";
            const std::string meant = "\\\n\r\t";
            const size_t known = plain.find(next);
            if (known == std::string::npos) out += text.substr(at, 2);
            if (known != std::string::npos && next != 'e') out += meant[known];
            ++at;
        }
    }
    return out;
}

std::vector<pdf::Object> ParseAll(const std::string& bytes) {
    pdf::MemorySource source(bytes);
    pdf::Parser parser(source, 0);
    std::vector<pdf::Object> objects;
    for (pdf::Object object = parser.next(); !object.isEnd(); object = parser.next()) {
        objects.push_back(object);
    }
    return objects;
}

namespace {

std::string Printable(const std::string& bytes, const char* special) {
    std::string out;
    char escaped[8];
    for (unsigned char c : bytes) {
        const bool plain = c >= 0x20 && c < 0x7F && std::strchr(special, c) == nullptr;
        std::snprintf(escaped, sizeof escaped, plain ? "%c" : "\\x%02X", c);
        out += escaped;
    }
    return out;
}

// Text that reads as lines: CR LF and LF end lines, a lone CR shows as \r.
std::string AsLines(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') {
            out += i + 1 < bytes.size() && bytes[i + 1] == '\n' ? "" : "\\r\n";
        } else if (c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F)) {
            out += static_cast<char>(c);
        } else {
            out += Printable(std::string(1, static_cast<char>(c)), "");
        }
    }
    return out;
}

// FNV-1a, 64 bits: enough to tell any two outputs of a case apart.
std::string Digest(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// The objects of a file as the tool reads them: its table and their texts.
class ObjectTexts {
public:
    explicit ObjectTexts(const std::string& path) {
        try {
            document_.open(path, warnings_);
            raw_ = std::make_unique<pdf::RawObjects>(document_.xref());
        } catch (const Error&) {
            raw_.reset();
        }
    }

    size_t size() const { return raw_ ? raw_->size() : 0; }
    std::optional<std::string> text(uint32_t number) const {
        return raw_ ? raw_->text(number) : std::nullopt;
    }
    bool opened() const { return raw_ != nullptr; }
    bool isXRefStream(uint32_t number) const { return raw_ && raw_->streamType(number) == "XRef"; }
    // The table as lines: runs of free entries as one, objects in the file
    // by their offset, objects of object streams by their stream and index.
    std::string entries() const {
        std::string out;
        const auto& table = document_.xref().entries();
        for (size_t number = 0; number < table.size();) {
            const pdf::XRefEntry& entry = table[number];
            if (entry.type == 0 || !entry.isDefined()) {
                size_t last = number;
                while (last + 1 < table.size() &&
                       (table[last + 1].type == 0 || !table[last + 1].isDefined())) {
                    ++last;
                }
                out += std::to_string(number) +
                       (last > number ? "-" + std::to_string(last) : std::string()) + ": free\n";
                number = last + 1;
                continue;
            }
            out += std::to_string(number) + (entry.type == 1 ? ": at " : ": in stream ") +
                   std::to_string(entry.offset) +
                   (entry.type == 1 ? (entry.generation != 0
                                           ? ", generation " + std::to_string(entry.generation)
                                           : std::string())
                                    : ", index " + std::to_string(entry.generation)) +
                   "\n";
            ++number;
        }
        return out;
    }

private:
    Warnings warnings_;  // heard of, never printed
    Document document_;
    std::unique_ptr<pdf::RawObjects> raw_;
};

}  // namespace

std::string PdfAsText(const std::string& output, const std::string& input) {
    const std::string bytes = ReadFile(output);
    std::string text = "digest " + Digest(bytes) + ", " + std::to_string(bytes.size()) +
                       " bytes, header " +
                       bytes.substr(0, std::min(bytes.find_first_of("\r\n"), size_t{16})) + "\n";
    const ObjectTexts written(output);
    const ObjectTexts read(input);
    if (!written.opened()) return text + "(does not open)\n";
    // The table as the file lists it, before reading objects mends any entry.
    const std::string entries = written.entries();
    for (uint32_t number = 1; number < written.size(); ++number) {
        const std::optional<std::string> object = written.text(number);
        if (!object || written.isXRefStream(number)) continue;
        const std::optional<std::string> before = read.text(number);
        if (before && *before == *object) continue;
        text += std::string(before ? "--- changed" : "--- new") + "\n" + AsLines(*object) + "\n";
    }
    // The table and trailer, from where startxref points to the end.
    const size_t startxref = bytes.rfind("startxref");
    const size_t table =
        startxref == std::string::npos
            ? bytes.size()
            : static_cast<size_t>(std::strtoull(bytes.c_str() + startxref + 9, nullptr, 10));
    const std::string tail = bytes.substr(std::min(table, bytes.size()));
    if (tail.rfind("xref", 0) == 0)
        return text + "--- cross-reference and trailer\n" + AsLines(tail) + "\n";
    // A cross-reference stream: its dictionary, and its entries as the
    // reader takes them.
    return text + "--- cross-reference stream\n" + AsLines(tail.substr(0, tail.find("stream\n"))) +
           "\n" + entries + AsLines(tail.substr(std::min(tail.rfind("startxref"), tail.size()))) +
           "\n";
}

std::string Describe(const pdf::Object& object) {
    using Kind = pdf::Object::Kind;
    std::string out;
    char number[64];
    switch (object.kind()) {
        case Kind::Boolean:
            return object.boolean() ? "true" : "false";
        case Kind::Integer:
            return std::to_string(object.integer());
        case Kind::Real:
            std::snprintf(number, sizeof number, "%g", object.real());
            return number + std::string(std::strpbrk(number, ".en") ? "" : ".0");
        case Kind::String:
            return "(" + Printable(object.text(), "()\\") + ")";
        case Kind::Name:
            return "/" + Printable(object.text(), "");
        case Kind::Null:
            return "null";
        case Kind::Reference:
            return std::to_string(object.reference().number) + " " +
                   std::to_string(object.reference().generation) + " R";
        case Kind::Keyword:
            return "{" + Printable(object.text(), "") + "}";
        case Kind::Array:
            for (const pdf::Object& item : object.array()->items()) {
                out += (out.empty() ? "" : " ") + Describe(item);
            }
            return "[" + out + "]";
        case Kind::Dictionary:
        case Kind::Stream:
            for (const auto& [key, value] : object.dictionaryOrStreamDictionary()->entries()) {
                out += (out.empty() ? "/" : " /") + Printable(key, "") + " " + Describe(value);
            }
            if (object.isDictionary()) return "<<" + out + ">>";
            return "stream <<" + out + ">> at " + std::to_string(object.stream()->dataOffset) +
                   ", " + std::to_string(object.stream()->dataLength) + " bytes";
        case Kind::Error:
            return "error";
        case Kind::End:
            return "eof";
        default:
            return "none";
    }
}

}  // namespace fixture
