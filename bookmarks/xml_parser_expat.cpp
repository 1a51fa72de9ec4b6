// The bookmark file's XML parser, on expat.
#include <expat.h>

#include <algorithm>
#include <cctype>

#include "bookmarks/text_codec.h"
#include "bookmarks/xml_parser.h"

namespace xml {

namespace {

// The format's own entities, given to every document as if it named a DTD
// that declares them.
constexpr char kFormatEntities[] = "<!ENTITY obr '&#40;'><!ENTITY cbr '&#41;'>";

struct Session {
    XML_Parser parser;
    Events& events;
    std::optional<Failure> failure;
};

Position Here(XML_Parser parser) {
    return {static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)),
            static_cast<unsigned long>(XML_GetCurrentColumnNumber(parser)) + 1};
}

void Stop(Session& session, std::string message) {
    if (!session.failure) session.failure = Failure{Here(session.parser), std::move(message)};
    XML_StopParser(session.parser, XML_FALSE);
}

// Events run inside the library's C code: nothing may be thrown through it.
// Once a handler has stopped the parse, the library may still report the end
// of an empty element it had begun: no event reaches the handlers after a stop.
template <typename Call>
void Deliver(void* data, Call call) {
    auto& session = *static_cast<Session*>(data);
    if (session.failure) return;
    bool goOn = false;
    try {
        goOn = call(session.events, session.parser);
    } catch (...) {
        goOn = false;
    }
    if (!goOn) Stop(session, "");
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** /*attributes*/) {
    Deliver(data, [name](Events& events, XML_Parser parser) {
        return events.startElement(name, Here(parser));
    });
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
    Deliver(data, [name](Events& events, XML_Parser parser) {
        return events.endElement(name, Here(parser));
    });
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    // Text needs no position: finding it costs more than the text.
    Deliver(data, [text, length](Events& events, XML_Parser) {
        return events.text(std::string_view(text, static_cast<size_t>(length)));
    });
}

void XMLCALL OnSkippedEntity(void* data, const XML_Char* name, int /*isParameter*/) {
    Stop(*static_cast<Session*>(data), std::string("undefined entity &") + name + ";");
}

// The external subset, whatever it names, is the format's own entities; no
// entity may make the reader open a file.
int XMLCALL OnExternalEntity(XML_Parser parser, const XML_Char* context, const XML_Char*,
                             const XML_Char*, const XML_Char*) {
    if (context != nullptr) return XML_STATUS_ERROR;
    XML_Parser subset = XML_ExternalEntityParserCreate(parser, context, nullptr);
    if (subset == nullptr) return XML_STATUS_ERROR;
    const XML_Status status =
        XML_Parse(subset, kFormatEntities, static_cast<int>(sizeof kFormatEntities - 1), XML_TRUE);
    XML_ParserFree(subset);
    return status;
}

bool IsWindows1252(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name == "windows-1252" || name == "cp1252" || name == "x-cp1252";
}

int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    if (!IsWindows1252(name)) return XML_STATUS_ERROR;
    for (int byte = 0; byte < 256; ++byte) {
        info->map[byte] = static_cast<int>(Cp1252Character(static_cast<unsigned char>(byte)));
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// The parser, freed however the parse ends.
class ParserHandle {
public:
    explicit ParserHandle(const std::string& encoding)
        : parser_(XML_ParserCreate(encoding.empty() ? nullptr : encoding.c_str())) {}
    ~ParserHandle() {
        if (parser_ != nullptr) XML_ParserFree(parser_);
    }
    ParserHandle(const ParserHandle&) = delete;
    ParserHandle& operator=(const ParserHandle&) = delete;
    XML_Parser get() const { return parser_; }

private:
    XML_Parser parser_;
};

}  // namespace

std::optional<Failure> Parse(const std::string& document, const std::string& encoding,
                             Events& events) {
    ParserHandle handle(encoding);
    XML_Parser parser = handle.get();
    if (parser == nullptr) return Failure{{}, "out of memory"};
    Session session{parser, events, std::nullopt};
    XML_SetUserData(parser, &session);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetSkippedEntityHandler(parser, OnSkippedEntity);
    XML_SetUnknownEncodingHandler(parser, OnUnknownEncoding, nullptr);
    XML_SetExternalEntityRefHandler(parser, OnExternalEntity);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_ALWAYS);
    XML_UseForeignDTD(parser, XML_TRUE);

    constexpr size_t kPiece = 1 << 20;
    size_t at = 0;
    do {
        const size_t length = std::min(kPiece, document.size() - at);
        const bool last = at + length == document.size();
        if (XML_Parse(parser, document.data() + at, static_cast<int>(length),
                      last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
            if (session.failure) return session.failure;
            return Failure{Here(parser), XML_ErrorString(XML_GetErrorCode(parser))};
        }
        at += length;
    } while (at < document.size());
    return std::nullopt;
}

}  // namespace xml
