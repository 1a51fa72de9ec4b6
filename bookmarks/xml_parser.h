#pragma once

#include <optional>
#include <string>
#include <string_view>

// The XML parser the bookmark file is read with. Nothing else sees the
// library behind it.
namespace xml {

// A place in the document: lines and columns from 1.
struct Position {
    unsigned long line = 0;
    unsigned long column = 0;
};

// What the parser reports, in document order, with text as UTF-8. A call that
// returns false stops the parse.
class Events {
public:
    virtual ~Events() = default;
    virtual bool startElement(const std::string& name, Position at) = 0;
    virtual bool endElement(const std::string& name, Position at) = 0;
    // Characters come in pieces; the view lasts for the call only.
    virtual bool text(std::string_view characters) = 0;
};

struct Failure {
    Position at;
    std::string message;  // empty when an Events call stopped the parse
};

// Parses a whole document. `encoding` is read in place of what the document
// declares ("UTF-8", "UTF-16LE", "Windows-1252", ...), or empty to follow its
// declaration. The entities obr and cbr stand for "(" and ")" wherever the
// document does not declare them itself; no file outside the document is read.
std::optional<Failure> Parse(const std::string& document, const std::string& encoding,
                             Events& events);

}  // namespace xml
