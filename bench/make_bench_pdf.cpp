// Writes a large PDF for the benchmark: a balanced page tree, a nested
// outline whose go-tos use explicit or named destinations (a /Dests name tree
// of several levels), a classic table or object streams with a cross-reference
// stream, and optionally filler streams in front of everything else, so that
// the objects a job reads lie far into the file.
//
//   make_bench_pdf OUT.pdf [--pages N] [--items M] [--named] [--levels L]
//                  [--objstm] [--filler-mb S] [--flat]
// --flat makes every item a top-level item.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string output;
    uint32_t pages = 1000;
    uint32_t items = 100;
    bool named = false;
    int levels = 2;
    bool objectStreams = false;
    uint64_t fillerMegabytes = 0;
    bool flat = false;
};

constexpr uint32_t kPageFanOut = 16;
constexpr uint32_t kNamesPerLeaf = 64;
constexpr uint32_t kNameFanOut = 64;
constexpr uint32_t kObjectsPerStream = 100;
constexpr uint64_t kFillerStreamBytes = 64ull << 20;

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : "0"; };
        if (arg == "--pages") {
            options.pages = static_cast<uint32_t>(std::strtoul(value(), nullptr, 10));
        } else if (arg == "--items") {
            options.items = static_cast<uint32_t>(std::strtoul(value(), nullptr, 10));
        } else if (arg == "--named") {
            options.named = true;
        } else if (arg == "--levels") {
            options.levels = std::atoi(value());
        } else if (arg == "--objstm") {
            options.objectStreams = true;
        } else if (arg == "--flat") {
            options.flat = true;
        } else if (arg == "--filler-mb") {
            options.fillerMegabytes = std::strtoull(value(), nullptr, 10);
        } else if (!arg.empty() && arg[0] != '-' && options.output.empty()) {
            options.output = arg;
        } else {
            return false;
        }
    }
    return !options.output.empty() && options.pages > 0 && options.levels >= 1;
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), 6);
    packed.resize(size);
    return packed;
}

// The objects of the document, numbered from 1, each its text without the
// "N 0 obj" header; filler streams are written separately.
class Document {
public:
    uint32_t reserve() {
        objects_.emplace_back();
        return static_cast<uint32_t>(objects_.size());
    }
    void set(uint32_t number, std::string text) { objects_[number - 1] = std::move(text); }
    void setStream(uint32_t number, std::string data) {
        set(number, std::move(data));
        streams_.resize(objects_.size(), false);
        streams_[number - 1] = true;
    }
    const std::vector<std::string>& objects() const { return objects_; }
    bool isStream(uint32_t number) const {
        return number - 1 < streams_.size() && streams_[number - 1];
    }
    // The whole object text of a number, behind its "N 0 obj" line; stream
    // data is compressed when asked.
    std::string body(uint32_t number, bool compress) const {
        const std::string& text = objects_[number - 1];
        if (!isStream(number)) return text;
        const std::string data = compress ? Deflate(text) : text;
        return std::string("<<") + (compress ? "/Filter/FlateDecode" : "") + "/Length " +
               std::to_string(data.size()) + ">>\nstream\n" + data + "\nendstream";
    }

private:
    std::vector<std::string> objects_;
    std::vector<bool> streams_;
};

std::string Ref(uint32_t number) {
    return std::to_string(number) + " 0 R";
}

// A page's text: a few lines, as a text page of a manual has in its content stream.
std::string PageContent(uint32_t page) {
    std::string text = "BT /F1 11 Tf 72 740 Td 14 TL";
    for (int line = 1; line <= 6; ++line) {
        text += " (Page " + std::to_string(page) + ", line " + std::to_string(line) +
                ": benchmark text of an ordinary page.) '";
    }
    return text + " ET";
}

// A balanced tree of /Pages nodes over the page objects; returns the root.
uint32_t BuildPageTree(Document& doc, uint32_t pageCount, std::vector<uint32_t>& pages) {
    const uint32_t font = doc.reserve();
    doc.set(font, "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>");
    std::vector<uint32_t> level;
    for (uint32_t i = 0; i < pageCount; ++i) level.push_back(doc.reserve());
    pages = level;
    // Content streams are written as stream objects of their own, after the
    // other objects; contents maps a page to the number its stream will get.
    std::vector<uint32_t> contents;
    for (uint32_t i = 0; i < pageCount; ++i) {
        contents.resize(level[i] + 1, 0);
        contents[level[i]] = doc.reserve();
        doc.setStream(contents[level[i]], PageContent(i + 1));
    }
    std::vector<uint32_t> counts(level.size(), 1);
    std::vector<uint32_t> parentOf(doc.objects().size() + 1, 0);
    for (;;) {
        std::vector<uint32_t> upper;
        std::vector<uint32_t> upperCounts;
        for (size_t at = 0; at < level.size(); at += kPageFanOut) {
            const uint32_t node = doc.reserve();
            parentOf.resize(node + 1, 0);
            std::string kids;
            uint32_t count = 0;
            for (size_t k = at; k < level.size() && k < at + kPageFanOut; ++k) {
                kids += Ref(level[k]) + " ";
                count += counts[k];
                parentOf[level[k]] = node;
            }
            doc.set(node, "<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string(count) +
                              "/PARENT>>");
            upper.push_back(node);
            upperCounts.push_back(count);
        }
        level = upper;
        counts = upperCounts;
        if (level.size() == 1) break;
    }
    const uint32_t root = level[0];
    for (uint32_t page : pages) {
        doc.set(page, "<</Type/Page/Parent " + Ref(parentOf[page]) +
                          "/MediaBox[0 0 612 792]/Resources<</Font<</F1 " + Ref(font) +
                          ">>>>/Contents " + Ref(contents[page]) + ">>");
    }
    for (uint32_t node = 1; node < parentOf.size(); ++node) {
        std::string text = doc.objects()[node - 1];
        const size_t mark = text.find("/PARENT");
        if (mark == std::string::npos) continue;
        text.replace(mark, 7, node == root ? "" : "/Parent " + Ref(parentOf[node]));
        doc.set(node, text);
    }
    return root;
}

// Chapters of 8 sections of 8 subsections, in reading order, cut at `count`.
struct Item {
    int parent = -1;
    int level = 0;
    std::string title;
    std::vector<int> kids;
};

std::vector<Item> BuildItemTree(uint32_t count, bool flat) {
    std::vector<Item> items;
    if (flat) {
        for (uint32_t i = 1; i <= count; ++i)
            items.push_back({-1, 0, "Item " + std::to_string(i), {}});
        return items;
    }
    for (uint32_t chapter = 1; items.size() < count; ++chapter) {
        const int c = static_cast<int>(items.size());
        items.push_back({-1, 0, "Chapter " + std::to_string(chapter), {}});
        for (int s = 1; s <= 8 && items.size() < count; ++s) {
            const int si = static_cast<int>(items.size());
            items.push_back(
                {c, 1, "Section " + std::to_string(chapter) + "." + std::to_string(s), {}});
            items[c].kids.push_back(si);
            for (int u = 1; u <= 8 && items.size() < count; ++u) {
                items[si].kids.push_back(static_cast<int>(items.size()));
                items.push_back({si,
                                 2,
                                 "Subsection " + std::to_string(chapter) + "." + std::to_string(s) +
                                     "." + std::to_string(u),
                                 {}});
            }
        }
    }
    return items;
}

std::string DestName(size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "dest.%07zu", index);
    return name;
}

// A /Dests name tree of `levels` levels over the names of all items; returns its root.
uint32_t BuildNameTree(Document& doc, const std::vector<std::string>& names,
                       const std::vector<std::string>& dests, int levels) {
    struct Node {
        uint32_t number;
        std::string low, high;
    };
    std::vector<Node> level;
    const uint32_t perLeaf = levels == 1 ? static_cast<uint32_t>(names.size()) + 1 : kNamesPerLeaf;
    for (size_t at = 0; at < names.size(); at += perLeaf) {
        const size_t end = std::min<size_t>(names.size(), at + perLeaf);
        std::string text = "<</Names[";
        for (size_t k = at; k < end; ++k) text += "(" + names[k] + ")" + dests[k] + " ";
        const uint32_t node = doc.reserve();
        Node made{node, names[at], names[end - 1]};
        doc.set(node, text + "]" +
                          (levels == 1 ? "" : "/Limits[(" + made.low + ")(" + made.high + ")]") +
                          ">>");
        level.push_back(made);
    }
    for (int depth = 2; depth <= levels; ++depth) {
        const bool isRoot = depth == levels;
        const size_t fan = isRoot ? level.size() : kNameFanOut;
        std::vector<Node> upper;
        for (size_t at = 0; at < level.size(); at += fan) {
            const size_t end = std::min(level.size(), at + fan);
            std::string kids;
            for (size_t k = at; k < end; ++k) kids += Ref(level[k].number) + " ";
            const uint32_t node = doc.reserve();
            Node made{node, level[at].low, level[end - 1].high};
            doc.set(node, "<</Kids[" + kids + "]" +
                              (isRoot ? "" : "/Limits[(" + made.low + ")(" + made.high + ")]") +
                              ">>");
            upper.push_back(made);
        }
        level = upper;
    }
    return level.at(0).number;
}

// Outline items as objects; returns the outline root.
uint32_t BuildOutline(Document& doc, const std::vector<Item>& items,
                      const std::vector<uint32_t>& pages, bool named, int levels,
                      uint32_t& namesRoot) {
    const uint32_t root = doc.reserve();
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < items.size(); ++i) numbers.push_back(doc.reserve());
    std::vector<std::string> names, dests;
    std::vector<int> topLevel;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].parent < 0) topLevel.push_back(static_cast<int>(i));
    }
    auto siblingsOf = [&](const Item& item) -> const std::vector<int>& {
        return item.parent < 0 ? topLevel : items[static_cast<size_t>(item.parent)].kids;
    };
    for (size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const uint32_t page = pages[i * pages.size() / items.size()];
        const std::string explicitDest = "[" + Ref(page) + "/XYZ 0 792 0]";
        std::string text = "<</Title(" + item.title + ")/Parent " +
                           Ref(item.parent < 0 ? root : numbers[static_cast<size_t>(item.parent)]);
        if (named) {
            names.push_back(DestName(i));
            dests.push_back(explicitDest);
            text += "/Dest(" + names.back() + ")";
        } else {
            text += "/Dest" + explicitDest;
        }
        const std::vector<int>& siblings = siblingsOf(item);
        for (size_t k = 0; k < siblings.size(); ++k) {
            if (siblings[k] != static_cast<int>(i)) continue;
            if (k > 0) text += "/Prev " + Ref(numbers[static_cast<size_t>(siblings[k - 1])]);
            if (k + 1 < siblings.size())
                text += "/Next " + Ref(numbers[static_cast<size_t>(siblings[k + 1])]);
        }
        if (!item.kids.empty()) {
            text += "/First " + Ref(numbers[static_cast<size_t>(item.kids.front())]) + "/Last " +
                    Ref(numbers[static_cast<size_t>(item.kids.back())]) + "/Count -" +
                    std::to_string(item.kids.size());
        }
        doc.set(numbers[i], text + ">>");
    }
    std::string rootText = "<</Type/Outlines";
    if (!topLevel.empty()) {
        rootText += "/First " + Ref(numbers[static_cast<size_t>(topLevel.front())]) + "/Last " +
                    Ref(numbers[static_cast<size_t>(topLevel.back())]) + "/Count " +
                    std::to_string(topLevel.size());
    }
    doc.set(root, rootText + ">>");
    namesRoot = named && !names.empty() ? BuildNameTree(doc, names, dests, levels) : 0;
    return root;
}

class Output {
public:
    explicit Output(std::FILE* file) : file_(file) {}
    void write(const std::string& text) { write(text.data(), text.size()); }
    void write(const void* data, size_t size) {
        ok_ = ok_ && std::fwrite(data, 1, size, file_) == size;
        position_ += size;
    }
    uint64_t position() const { return position_; }
    bool ok() const { return ok_; }

private:
    std::FILE* file_;
    uint64_t position_ = 0;
    bool ok_ = true;
};

// Uncompressible filler, so that no reader can skip it by inflating quickly.
void WriteFiller(Output& out, uint32_t number, uint64_t bytes) {
    out.write(std::to_string(number) + " 0 obj\n<</Length " + std::to_string(bytes) +
              ">>\nstream\n");
    std::vector<unsigned char> block(1 << 20);
    uint64_t state = number * 0x9E3779B97F4A7C15ull;
    for (uint64_t done = 0; done < bytes; done += block.size()) {
        for (auto& byte : block) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            byte = static_cast<unsigned char>(state >> 56);
        }
        out.write(block.data(),
                  static_cast<size_t>(std::min<uint64_t>(block.size(), bytes - done)));
    }
    out.write("\nendstream\nendobj\n");
}

void AppendBigEndian(std::string& out, uint64_t value, int width) {
    for (int k = width - 1; k >= 0; --k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

bool WriteFile(const Options& options) {
    Document doc;
    const uint32_t catalog = doc.reserve();
    std::vector<uint32_t> pages;
    const uint32_t pageRoot = BuildPageTree(doc, options.pages, pages);
    uint32_t namesRoot = 0;
    const std::vector<Item> items = BuildItemTree(options.items, options.flat);
    const uint32_t outline =
        BuildOutline(doc, items, pages, options.named, options.levels, namesRoot);
    std::string catalogText = "<</Type/Catalog/Pages " + Ref(pageRoot) + "/Outlines " +
                              Ref(outline) + "/PageMode/UseOutlines";
    if (namesRoot != 0) catalogText += "/Names<</Dests " + Ref(namesRoot) + ">>";
    doc.set(catalog, catalogText + ">>");
    const uint32_t info = doc.reserve();
    doc.set(info, "<</Producer(make_bench_pdf)/Title(Benchmark)>>");

    const uint64_t fillerCount = (options.fillerMegabytes << 20) / kFillerStreamBytes +
                                 ((options.fillerMegabytes << 20) % kFillerStreamBytes != 0);
    const auto objectCount = static_cast<uint32_t>(doc.objects().size());
    const uint32_t firstFiller = objectCount + 1;
    const uint32_t firstStream = firstFiller + static_cast<uint32_t>(fillerCount);

    std::FILE* file = std::fopen(options.output.c_str(), "wb");
    if (file == nullptr) return false;
    Output out(file);
    out.write("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");

    // Entry per object: type, offset or stream number, generation or index.
    struct Entry {
        int type = 0;
        uint64_t field = 0;
        uint32_t index = 0;
    };
    std::vector<Entry> entries(firstStream, Entry{});
    uint64_t fillerLeft = options.fillerMegabytes << 20;
    for (uint32_t k = 0; k < fillerCount; ++k) {
        entries[firstFiller + k] = {1, out.position(), 0};
        const uint64_t size = std::min(fillerLeft, kFillerStreamBytes);
        WriteFiller(out, firstFiller + k, size);
        fillerLeft -= size;
    }

    uint32_t nextNumber = firstStream;
    if (options.objectStreams) {
        // Stream objects stand on their own; the others go into object streams.
        std::vector<uint32_t> packable;
        for (uint32_t n = 1; n <= objectCount; ++n) {
            if (!doc.isStream(n)) {
                packable.push_back(n);
                continue;
            }
            entries[n] = {1, out.position(), 0};
            out.write(std::to_string(n) + " 0 obj\n" + doc.body(n, true) + "\nendobj\n");
        }
        for (size_t first = 0; first < packable.size(); first += kObjectsPerStream) {
            const size_t last = std::min(packable.size(), first + kObjectsPerStream);
            std::string header, body;
            for (size_t k = first; k < last; ++k) {
                const uint32_t n = packable[k];
                header += std::to_string(n) + " " + std::to_string(body.size()) + " ";
                body += doc.objects()[n - 1] + "\n";
                entries[n] = {2, nextNumber, static_cast<uint32_t>(k - first)};
            }
            const std::string packed = Deflate(header + body);
            entries.push_back({1, out.position(), 0});
            out.write(std::to_string(nextNumber) + " 0 obj\n<</Type/ObjStm/N " +
                      std::to_string(last - first) + "/First " + std::to_string(header.size()) +
                      "/Filter/FlateDecode/Length " + std::to_string(packed.size()) +
                      ">>\nstream\n");
            out.write(packed);
            out.write("\nendstream\nendobj\n");
            ++nextNumber;
        }
        const uint32_t xrefNumber = nextNumber;
        entries.push_back({1, out.position(), 0});
        const int offsetWidth = out.position() > 0xFFFFFFFFull ? 5 : 4;
        std::string rows;
        for (size_t n = 0; n < entries.size(); ++n) {
            const Entry& entry = entries[n];
            AppendBigEndian(rows, static_cast<uint64_t>(entry.type), 1);
            AppendBigEndian(rows, entry.field, offsetWidth);
            AppendBigEndian(rows, n == 0 ? 65535 : entry.index, 2);
        }
        const std::string packed = Deflate(rows);
        const uint64_t xrefOffset = out.position();
        out.write(std::to_string(xrefNumber) + " 0 obj\n<</Type/XRef/Size " +
                  std::to_string(entries.size()) + "/W[1 " + std::to_string(offsetWidth) +
                  " 2]/Root " + Ref(catalog) + "/Info " + Ref(info) +
                  "/ID[<0123456789ABCDEF0123456789ABCDEF><0123456789ABCDEF0123456789ABCDEF>]" +
                  "/Filter/FlateDecode/Length " + std::to_string(packed.size()) + ">>\nstream\n");
        out.write(packed);
        out.write("\nendstream\nendobj\nstartxref\n" + std::to_string(xrefOffset) + "\n%%EOF\n");
    } else {
        for (uint32_t n = 1; n <= objectCount; ++n) {
            entries[n] = {1, out.position(), 0};
            out.write(std::to_string(n) + " 0 obj\n" + doc.body(n, false) + "\nendobj\n");
        }
        const uint64_t xrefOffset = out.position();
        out.write("xref\n0 " + std::to_string(entries.size()) + "\n0000000000 65535 f \n");
        char line[32];
        for (size_t n = 1; n < entries.size(); ++n) {
            std::snprintf(line, sizeof line, "%010llu 00000 n \n",
                          static_cast<unsigned long long>(entries[n].field));
            out.write(line);
        }
        out.write("trailer\n<</Size " + std::to_string(entries.size()) + "/Root " + Ref(catalog) +
                  "/Info " + Ref(info) +
                  "/ID[<0123456789ABCDEF0123456789ABCDEF><0123456789ABCDEF0123456789ABCDEF>]>>\n"
                  "startxref\n" +
                  std::to_string(xrefOffset) + "\n%%EOF\n");
    }
    const bool ok = out.ok();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: make_bench_pdf OUT.pdf [--pages N] [--items M] [--named] "
                     "[--levels L] [--objstm] [--filler-mb S]\n");
        return 2;
    }
    if (!WriteFile(options)) {
        std::fprintf(stderr, "cannot write %s\n", options.output.c_str());
        return 1;
    }
    return 0;
}
