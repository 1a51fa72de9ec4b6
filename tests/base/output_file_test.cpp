// Outputs written whole: a large one, handed to the disk as it goes, arrives
// byte for byte.
#include "base/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/harness.h"

namespace {

TEST(OutputFileTest, LargeOutputsArriveWhole) {
    fixture::TempDir dir;
    std::string bytes;
    for (uint64_t i = 0; bytes.size() < (7u << 19); ++i) bytes += std::to_string(i * 2654435761u);
    fixture::WriteFile(dir.file("out"), "what was there before");
    OutputFile file;
    ASSERT_TRUE(file.create(dir.file("out"))) << file.problem();
    for (size_t at = 0; at < bytes.size(); at += 40000) {
        const size_t piece = std::min<size_t>(40000, bytes.size() - at);
        ASSERT_EQ(std::fwrite(bytes.data() + at, 1, piece, file.get()), piece);
        file.wrote(piece);
    }
    EXPECT_EQ(fixture::ReadFile(dir.file("out")), "what was there before");
    ASSERT_TRUE(file.commit()) << file.problem();
    EXPECT_EQ(fixture::ReadFile(dir.file("out")), bytes);
}

}  // namespace
