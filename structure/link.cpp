#include "structure/link.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <string_view>

#include "pdf/text_string.h"

using pdf::Object;

const char* const kDestKindNames[8] = {"XYZ",  "Fit",  "FitH",  "FitV",
                                       "FitR", "FitB", "FitBH", "FitBV"};

namespace {

// Reads D of a go-to: a name or string names a destination, an array is one.
void ReadDestinationValue(const Object& value, LinkTarget& action, pdf::XRef& xref) {
    if (value.isName() || value.isString()) {
        action.namedDest = value.text();
        action.namedDestIsName = value.isName();
    } else if (const pdf::Array* array = value.array()) {
        auto dest = std::make_unique<LinkDestination>(*array, xref);
        if (dest->isOk()) action.dest = std::move(dest);
    }
}

std::unique_ptr<LinkAction> MakeGoToR(const pdf::Dictionary& dict, pdf::XRef& xref) {
    auto action = std::make_unique<LinkGoToR>();
    action->fileName = FileSpecName(xref.resolve(dict.get("F")), xref);
    ReadDestinationValue(xref.resolve(dict.get("D")), *action, xref);
    const Object newWindow = xref.resolve(dict.get("NewWindow"));
    if (newWindow.isBoolean()) action->newWindow = newWindow.boolean();
    return action;
}

std::unique_ptr<LinkAction> MakeLaunch(const pdf::Dictionary& dict, pdf::XRef& xref) {
    auto action = std::make_unique<LinkLaunch>();
    const Object newWindow = xref.resolve(dict.get("NewWindow"));
    if (newWindow.isBoolean()) action->newWindow = newWindow.boolean();
    const Object file = xref.resolve(dict.get("F"));
    if (!file.isNull()) {
        action->fileName = FileSpecName(file, xref);
        return action;
    }
    const Object windows = xref.resolve(dict.get("Win"));
    if (const pdf::Dictionary* win = windows.dictionary()) {
        action->fileName = FileSpecName(xref.resolve(win->get("F")), xref);
    }
    return action;
}

std::unique_ptr<LinkAction> MakeJavaScript(const pdf::Dictionary& dict, pdf::XRef& xref) {
    auto action = std::make_unique<LinkJavaScript>();
    const Object script = xref.resolve(dict.get("JS"));
    if (script.isString()) {
        action->script = pdftext::Decode(script.text());
    } else if (const pdf::Stream* stream = script.stream()) {
        std::string bytes = xref.streamData(*stream).value_or(std::string());
        if (bytes.size() > kMaxScriptBytes) bytes.resize(kMaxScriptBytes);
        action->script = pdftext::Decode(bytes);
    }
    return action;
}

std::unique_ptr<LinkAction> BuildAction(const pdf::Dictionary& dict, const std::string& type,
                                        pdf::XRef& xref) {
    if (type == "GoTo") {
        auto action = std::make_unique<LinkGoTo>();
        ReadDestinationValue(xref.resolve(dict.get("D")), *action, xref);
        return action;
    }
    if (type == "GoToR") return MakeGoToR(dict, xref);
    if (type == "Launch") return MakeLaunch(dict, xref);
    if (type == "URI") {
        auto action = std::make_unique<LinkURI>();
        const Object uri = xref.resolve(dict.get("URI"));
        if (uri.isString()) action->uri = uri.text();
        return action;
    }
    if (type == "Named") {
        auto action = std::make_unique<LinkNamed>();
        const Object name = xref.resolve(dict.get("N"));
        if (name.isName()) action->name = name.text();
        return action;
    }
    if (type == "JavaScript") return MakeJavaScript(dict, xref);
    return nullptr;
}

}  // namespace

// ok is the last member: read fills the others first.
LinkDestination::LinkDestination(const pdf::Array& array, pdf::XRef& xref)
    : ok(read(array, xref)) {}

bool LinkDestination::read(const pdf::Array& array, pdf::XRef& xref) {
    const size_t length = array.size();
    if (length < 1) return false;

    const Object& page = array.at(0);
    if (page.isInteger()) {
        pageIsRef = false;
        pageNumber = page.integer() == INT32_MAX ? INT32_MAX : page.integer() + 1;
    } else if (page.isReference()) {
        pageIsRef = true;
        pageRef = {page.reference().number, page.reference().generation};
    } else {
        return false;
    }

    // A fit that cannot be read keeps the page, shown whole, as viewers do;
    // a coordinate that is no number is left out.
    kind = DestKind::Fit;
    const Object kindName = length > 1 ? xref.resolve(array.at(1)) : Object();
    if (!kindName.isName()) return true;
    const auto named = std::find(std::begin(kDestKindNames), std::end(kDestKindNames),
                                 std::string_view(kindName.text()));
    if (named != std::end(kDestKindNames)) {
        kind = static_cast<DestKind>(named - std::begin(kDestKindNames));
    }
    auto read = [&](size_t index, std::optional<double>& field) {
        if (index >= length) return false;
        const Object value = xref.resolve(array.at(index));
        if (value.isNumber()) field = value.number();
        return value.isNumber();
    };
    switch (kind) {
        case DestKind::XYZ:
            read(2, left);
            read(3, top);
            read(4, zoom);
            break;
        case DestKind::FitH:
        case DestKind::FitBH:
            read(2, top);
            break;
        case DestKind::FitV:
        case DestKind::FitBV:
            read(2, left);
            break;
        case DestKind::FitR:
            if (!read(2, left) || !read(3, bottom) || !read(4, right) || !read(5, top)) {
                kind = DestKind::Fit;
                left = bottom = right = top = std::nullopt;
            }
            break;
        default:
            break;
    }
    return true;
}

std::unique_ptr<LinkAction> MakeGoTo(const Object& value, pdf::XRef& xref) {
    auto action = std::make_unique<LinkGoTo>();
    ReadDestinationValue(value, *action, xref);
    if (!action->isOk()) return nullptr;
    return action;
}

std::unique_ptr<LinkAction> MakeAction(const Object& value, pdf::XRef& xref) {
    const pdf::Dictionary* dict = value.dictionary();
    if (dict == nullptr) return nullptr;
    const Object type = xref.resolve(dict->get("S"));
    if (!type.isName()) return nullptr;
    std::unique_ptr<LinkAction> action = BuildAction(*dict, type.text(), xref);
    if (!action || !action->isOk()) return nullptr;
    return action;
}

std::string FileSpecName(const Object& value, pdf::XRef& xref) {
    if (value.isString()) return pdftext::Decode(value.text());
    const pdf::Dictionary* dict = value.dictionary();
    if (dict == nullptr) return {};
    for (const char* key : {"UF", "Unix", "F"}) {
        const Object name = xref.resolve(dict->get(key));
        if (name.isString()) return pdftext::Decode(name.text());
    }
    return {};
}
