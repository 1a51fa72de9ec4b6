// Outputs written whole: a large one, handed to the disk as it goes, arrives
// byte for byte.
#include "base/output_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/harness.h"

namespace {

TEST(OutputFileTest, LargeOutputsArriveWhole) {
    fixture::TempDir dir;
    std::string bytes;
    for (uint64_t i = 0; bytes.size() < (7u << 19); ++i) {
        bytes += std::to_string(i * 2654435761u) + (i % 7 == 0 ? "\r\n" : " ");
    }
    const std::string path = dir.file("out.xml");
    fixture::WriteFile(path, "what was there before");
    OutputFile file;
    ASSERT_TRUE(file.create(path)) << file.problem();
    constexpr size_t kPiece = 40000;
    for (size_t at = 0; at < bytes.size(); at += kPiece) {
        const std::string piece = bytes.substr(at, kPiece);
        ASSERT_EQ(std::fwrite(piece.data(), 1, piece.size(), file.get()), piece.size());
        file.wrote(piece.size());
    }
    EXPECT_EQ(fixture::ReadFile(path), "what was there before");
    ASSERT_TRUE(file.commit()) << file.problem();
    EXPECT_EQ(fixture::ReadFile(path), bytes);
}

}  // namespace
