// Builds examples/sample.pdf from its objects written as text.
// Usage: folivant_make_sample SOURCE.txt OUTPUT.pdf
#include <cstdio>
#include <exception>

#include "support/fixture.h"
#include "support/harness.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.txt OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    try {
        fixture::WriteFile(argv[2], fixture::BuildPdf(fixture::ReadFile(argv[1])));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
