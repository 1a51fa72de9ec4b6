#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "pdf/object.h"
#include "pdf/xref.h"

// The ways a destination fits its page, in the order of kDestKindNames.
enum class DestKind : uint32_t { XYZ, Fit, FitH, FitV, FitR, FitB, FitBH, FitBV };

// The PDF names of the destination kinds, indexed by DestKind.
extern const char* const kDestKindNames[8];

struct LinkPageRef {
    int32_t number = 0;
    int32_t generation = 0;
};

// An explicit destination: a page and a way of fitting it.
class LinkDestination {
public:
    // Reads a destination array; isOk tells whether it was understood.
    LinkDestination(const pdf::Array& array, pdf::XRef& xref);

    bool isOk() const { return ok; }

    DestKind kind = DestKind::XYZ;
    bool pageIsRef{};  // set by every destination that reads
    int32_t pageNumber = 0;
    LinkPageRef pageRef;
    // A coordinate the destination leaves null (or out) has no value.
    std::optional<double> left;
    std::optional<double> bottom;
    std::optional<double> right;
    std::optional<double> top;
    std::optional<double> zoom;
    bool ok;

private:
    bool read(const pdf::Array& array, pdf::XRef& xref);
};

enum class LinkKind { GoTo, GoToR, Launch, Uri, Named, JavaScript };

class LinkAction {
public:
    virtual ~LinkAction() = default;
    virtual bool isOk() const = 0;
    virtual LinkKind kind() const = 0;
};

// What a go-to's D holds: an explicit destination, or the name of one, given
// as a PDF name or as a string (viewers look the two up in different places).
struct LinkTarget {
    std::unique_ptr<LinkDestination> dest;
    std::string namedDest;
    bool namedDestIsName = false;
};

class LinkGoTo : public LinkAction, public LinkTarget {
public:
    bool isOk() const override { return dest != nullptr || !namedDest.empty(); }
    LinkKind kind() const override { return LinkKind::GoTo; }
};

class LinkGoToR : public LinkAction, public LinkTarget {
public:
    bool isOk() const override {
        return !fileName.empty() && (dest != nullptr || !namedDest.empty());
    }
    LinkKind kind() const override { return LinkKind::GoToR; }

    std::string fileName;  // characters, as UTF-8
    bool newWindow = false;
};

class LinkLaunch : public LinkAction {
public:
    bool isOk() const override { return !fileName.empty(); }
    LinkKind kind() const override { return LinkKind::Launch; }

    std::string fileName;  // characters, as UTF-8
    bool newWindow = false;
};

class LinkJavaScript : public LinkAction {
public:
    // A script may be empty; it is still an action of the item.
    bool isOk() const override { return true; }
    LinkKind kind() const override { return LinkKind::JavaScript; }

    std::string script;  // characters, as UTF-8
};

class LinkURI : public LinkAction {
public:
    bool isOk() const override { return !uri.empty(); }
    LinkKind kind() const override { return LinkKind::Uri; }

    std::string uri;
};

class LinkNamed : public LinkAction {
public:
    bool isOk() const override { return !name.empty(); }
    LinkKind kind() const override { return LinkKind::Named; }

    std::string name;
};

// A go-to from an outline item's Dest value (already resolved); null when it
// carries no usable destination.
std::unique_ptr<LinkAction> MakeGoTo(const pdf::Object& value, pdf::XRef& xref);
// The action a resolved action dictionary describes, or null.
std::unique_ptr<LinkAction> MakeAction(const pdf::Object& value, pdf::XRef& xref);
// The file name of a file specification as characters (UTF-8): a string, or
// the UF, Unix or F entry of a dictionary; empty when there is none.
std::string FileSpecName(const pdf::Object& value, pdf::XRef& xref);
// The longest script read from a JavaScript action's stream.
inline constexpr size_t kMaxScriptBytes = 16u << 20;
