#include "structure/link.h"

#include <climits>

#include "pdf/stream.h"
#include "pdf/text_string.h"

const char* const kDestKindNames[8] = {"XYZ",  "Fit",  "FitH",  "FitV",
                                       "FitR", "FitB", "FitBH", "FitBV"};

namespace {

// A coordinate: a number sets it, null leaves it without a value, anything
// else fails.
bool ReadOptionalNumber(const CPdfArray& array, int index, std::optional<double>& field) {
    CPdfElement value;
    array.get(index, value);
    if (value.isNum()) {
        field = value.getNum();
        return true;
    }
    return value.isNull();
}

bool ReadRequiredNumber(const CPdfArray& array, int index, std::optional<double>& field) {
    CPdfElement value;
    array.get(index, value);
    if (!value.isNum()) return false;
    field = value.getNum();
    return true;
}

// Reads D of a go-to: a name or string names a destination, an array is one.
void ReadDestinationValue(const CPdfElement& value, LinkTarget& action) {
    if (value.isName() || value.isString()) {
        action.namedDest = value.getText();
        action.namedDestIsName = value.isName();
    } else if (value.isArray()) {
        auto dest = std::make_unique<LinkDestination>(*value.getArray());
        if (dest->isOk()) action.dest = std::move(dest);
    }
}

std::unique_ptr<LinkAction> MakeGoToR(const CPdfDictionary& dict) {
    auto action = std::make_unique<LinkGoToR>();
    CPdfElement file, dest, newWindow;
    dict.lookup("F", file);
    dict.lookup("D", dest);
    dict.lookup("NewWindow", newWindow);
    action->fileName = getFileSpecName(file);
    ReadDestinationValue(dest, *action);
    if (newWindow.isBool()) action->newWindow = newWindow.getBool();
    return action;
}

std::unique_ptr<LinkAction> MakeLaunch(const CPdfDictionary& dict) {
    auto action = std::make_unique<LinkLaunch>();
    CPdfElement file, newWindow;
    dict.lookup("NewWindow", newWindow);
    if (newWindow.isBool()) action->newWindow = newWindow.getBool();
    dict.lookup("F", file);
    if (!file.isNull()) {
        action->fileName = getFileSpecName(file);
        return action;
    }
    CPdfElement windows;
    dict.lookup("Win", windows);
    if (const CPdfDictionary* win = windows.getDict()) {
        CPdfElement winFile, params;
        win->lookup("F", winFile);
        action->fileName = getFileSpecName(winFile);
        win->lookup("P", params);
        if (params.isString()) action->params = params.getText();
    }
    return action;
}

// The bytes of a stream's data, at most limit of them.
std::string StreamBytes(CPdfStream& stream, size_t limit) {
    std::string bytes;
    stream.reset();
    unsigned char chunk[4096];
    for (size_t got; bytes.size() < limit && (got = stream.read(chunk, sizeof chunk)) > 0;) {
        bytes.append(reinterpret_cast<const char*>(chunk), std::min(got, limit - bytes.size()));
    }
    return bytes;
}

std::unique_ptr<LinkAction> MakeJavaScript(const CPdfDictionary& dict) {
    auto action = std::make_unique<LinkJavaScript>();
    CPdfElement script;
    dict.lookup("JS", script);
    if (script.isString()) {
        action->script = pdftext::Decode(script.getText());
    } else if (CPdfStream* stream = script.getStream()) {
        action->script = pdftext::Decode(StreamBytes(*stream, kMaxScriptBytes));
    }
    return action;
}

std::unique_ptr<LinkAction> BuildAction(const CPdfDictionary& dict, const std::string& type) {
    if (type == "GoTo") {
        auto action = std::make_unique<LinkGoTo>();
        CPdfElement dest;
        dict.lookup("D", dest);
        ReadDestinationValue(dest, *action);
        return action;
    }
    if (type == "GoToR") return MakeGoToR(dict);
    if (type == "Launch") return MakeLaunch(dict);
    if (type == "URI") {
        auto action = std::make_unique<LinkURI>();
        CPdfElement uri;
        dict.lookup("URI", uri);
        if (uri.isString()) action->uri = uri.getText();
        return action;
    }
    if (type == "Named") {
        auto action = std::make_unique<LinkNamed>();
        CPdfElement name;
        dict.lookup("N", name);
        if (name.isName()) action->name = name.getText();
        return action;
    }
    if (type == "JavaScript") return MakeJavaScript(dict);
    return nullptr;
}

}  // namespace

LinkDestination::LinkDestination(const CPdfArray& array) {
    ok = read(array);
}

bool LinkDestination::read(const CPdfArray& array) {
    const int length = array.getLength();
    if (length < 2) return false;

    CPdfElement page;
    array.getNF(0, page);
    if (page.isInt()) {
        pageIsRef = false;
        pageNumber = page.getInt() == INT32_MAX ? INT32_MAX : page.getInt() + 1;
    } else if (page.isRef()) {
        pageIsRef = true;
        pageRef = {page.getRefNum(), page.getRefGen()};
    } else {
        return false;
    }

    CPdfElement kindName;
    array.get(1, kindName);
    if (!kindName.isName()) return false;
    bool known = false;
    for (uint32_t k = 0; k < 8; ++k) {
        if (kindName.getText() == kDestKindNames[k]) {
            kind = k;
            known = true;
            break;
        }
    }
    if (!known) return false;

    switch (kind) {
        case destXYZ:
            if (length > 2 && !ReadOptionalNumber(array, 2, left)) return false;
            if (length > 3 && !ReadOptionalNumber(array, 3, top)) return false;
            if (length > 4 && !ReadOptionalNumber(array, 4, zoom)) return false;
            return true;
        case destFit:
        case destFitB:
            return true;
        // Some writers leave the coordinate out: it reads as null.
        case destFitH:
        case destFitBH:
            return length < 3 || ReadOptionalNumber(array, 2, top);
        case destFitV:
        case destFitBV:
            return length < 3 || ReadOptionalNumber(array, 2, left);
        case destFitR:
            return length >= 6 && ReadRequiredNumber(array, 2, left) &&
                   ReadRequiredNumber(array, 3, bottom) && ReadRequiredNumber(array, 4, right) &&
                   ReadRequiredNumber(array, 5, top);
        default:
            return false;
    }
}

std::unique_ptr<LinkAction> makeGoTo(const CPdfElement& value) {
    auto action = std::make_unique<LinkGoTo>();
    ReadDestinationValue(value, *action);
    if (!action->isOk()) return nullptr;
    return action;
}

std::unique_ptr<LinkAction> makeAction(const CPdfElement& value) {
    const CPdfDictionary* dict = value.getDict();
    if (dict == nullptr) return nullptr;
    CPdfElement type;
    dict->lookup("S", type);
    if (!type.isName()) return nullptr;
    std::unique_ptr<LinkAction> action = BuildAction(*dict, type.getText());
    if (!action || !action->isOk()) return nullptr;
    return action;
}

std::string getFileSpecName(const CPdfElement& value) {
    if (value.isString()) return pdftext::Decode(value.getText());
    const CPdfDictionary* dict = value.getDict();
    if (dict == nullptr) return {};
    CPdfElement name;
    for (const char* key : {"UF", "Unix", "F"}) {
        dict->lookup(key, name);
        if (name.isString()) return pdftext::Decode(name.getText());
    }
    return {};
}
