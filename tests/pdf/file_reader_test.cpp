// Reading a file through blocks of the file reader: every read gives the
// file's bytes, across blocks, past the end and after blocks were evicted;
// the parser's growing window over it reads what it reads from memory.
#include "pdf/file_reader.h"

#include <gtest/gtest.h>

#include "support/harness.h"

namespace {

constexpr uint64_t kBlock = pdf::FileReader::kBlockSize;

TEST(FileReaderTest, ReadsGiveTheFilesBytesWhereverTheyFall) {
    std::string bytes(3 * kBlock + 100, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("f"), bytes);
    const std::shared_ptr<pdf::FileReader> reader = pdf::FileReader::Open(dir.file("f"));
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(reader->size(), bytes.size());
    const uint64_t size = bytes.size();
    const std::pair<uint64_t, size_t> reads[] = {
        {0, 10},          {kBlock - 5, 10},  {2 * kBlock, 1},          {size - 5, 10},
        {size, 10},       {size + 100, 10},  {10, 2 * kBlock},         {size - 3, kBlock + 5},
        {kBlock, kBlock}, {3 * kBlock, 100}, {kBlock - 1, kBlock + 2},
    };
    // Twice over: the second pass reads blocks the first one evicted.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [offset, count] : reads) {
            std::string out(count, '?');
            const size_t got = reader->read(offset, out.data(), count);
            out.resize(got);
            EXPECT_EQ(out, offset < size ? bytes.substr(offset, count) : "")
                << offset << " " << count;
        }
        for (uint64_t at = 0; at < size; at += kBlock / 2) {
            char one = 0;
            ASSERT_EQ(reader->read(at, &one, 1), 1u);
            EXPECT_EQ(one, bytes[at]);
        }
    }
    // A file cut short while it is read gives what is left, and no more.
    const std::shared_ptr<pdf::FileReader> cut = pdf::FileReader::Open(dir.file("f"));
    fixture::WriteFile(dir.file("f"), bytes.substr(0, kBlock + 10));
    char out[20];
    EXPECT_EQ(cut->read(kBlock + 5, out, sizeof out), 5u);
    EXPECT_EQ(cut->read(2 * kBlock, out, sizeof out), 0u);
}

std::string ParsedFrom(pdf::ByteSource& source) {
    pdf::Parser parser(source, 0);
    std::string out;
    for (pdf::Object value = parser.next(); !value.isEnd(); value = parser.next()) {
        out += (out.empty() ? "" : " | ") + fixture::Describe(value);
    }
    return out;
}

// Objects that end, or whose stream line ends, near where the parser's first
// window of the file ends.
TEST(FileReaderTest, TheParsersWindowReadsWhatMemoryGives) {
    fixture::TempDir dir;
    for (size_t pad = 470; pad < 530; ++pad) {
        const std::string text = "<< /P (" + std::string(pad, 'x') +
                                 ") /Length 5 >> stream\r\nhello\r\nendstream 7 [1 2 0 R]";
        fixture::WriteFile(dir.file("f"), text);
        const std::shared_ptr<pdf::FileReader> reader = pdf::FileReader::Open(dir.file("f"));
        pdf::MemorySource memory(text);
        EXPECT_EQ(ParsedFrom(*reader), ParsedFrom(memory)) << pad;
    }
}

}  // namespace
