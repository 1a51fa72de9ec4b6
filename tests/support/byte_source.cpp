#include "support/byte_source.h"

#include <stdexcept>

#include "pdf/parser.h"

namespace fixture {

ByteFile::ByteFile(const std::string& bytes) : file_(std::tmpfile()) {
    if (file_ == nullptr) throw std::runtime_error("cannot create a temporary file");
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::fflush(file_);
}

ByteFile::~ByteFile() {
    std::fclose(file_);
}

CPdfFileStream* ByteFile::stream(uint32_t start, uint32_t length) const {
    CPdfElement none;
    none.initNull();
    return new CPdfFileStream(file_, start, length, none);
}

CPdfElement ParseOne(const std::string& bytes) {
    ByteFile file(bytes);
    CPdfParser parser(nullptr, file.stream());
    CPdfElement object;
    parser.getObj(object);
    return object;
}

std::vector<CPdfElement> ParseAll(const std::string& bytes) {
    ByteFile file(bytes);
    CPdfParser parser(nullptr, file.stream());
    std::vector<CPdfElement> objects;
    for (;;) {
        CPdfElement object;
        parser.getObj(object);
        if (object.isEOF()) break;
        objects.push_back(std::move(object));
    }
    return objects;
}

std::string ReadAll(CPdfStream& stream) {
    std::string bytes;
    for (int c = stream.getChar(); c >= 0; c = stream.getChar()) bytes += static_cast<char>(c);
    return bytes;
}

}  // namespace fixture
