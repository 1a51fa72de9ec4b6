// Builds examples/sample.pdf from its objects written as text; the fuzzing
// script makes its seed PDFs with it too.
// Usage: folivant_make_sample SOURCE.txt OUTPUT.pdf
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/fixture.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.txt OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    std::ifstream source(argv[1], std::ios::binary);
    std::ostringstream text;
    text << source.rdbuf();
    std::string pdf;
    try {
        pdf = fixture::BuildPdf(text.str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
        return 1;
    }
    std::ofstream output(argv[2], std::ios::binary);
    output << pdf;
    if (!source || !output) {
        std::fprintf(stderr, "cannot read %s or write %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
