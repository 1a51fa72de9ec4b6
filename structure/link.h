#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/element.h"

enum LinkDestKind : uint32_t {
    destXYZ = 0,
    destFit = 1,
    destFitH = 2,
    destFitV = 3,
    destFitR = 4,
    destFitB = 5,
    destFitBH = 6,
    destFitBV = 7,
};

// The PDF names of the destination kinds, indexed by LinkDestKind.
extern const char* const kDestKindNames[8];

struct LinkPageRef {
    int32_t number = 0;
    int32_t generation = 0;
};

// An explicit destination: a page and a way of fitting it.
class LinkDestination {
public:
    // Reads a destination array; isOk tells whether it was understood.
    explicit LinkDestination(const CPdfArray& array);

    bool isOk() const { return ok; }

    uint32_t kind = destXYZ;
    bool pageIsRef = false;
    int32_t pageNumber = 0;
    LinkPageRef pageRef;
    double left = 0;
    double bottom = 0;
    double right = 0;
    double top = 0;
    double zoom = 0;
    bool ok = false;

private:
    bool read(const CPdfArray& array);
};

enum LinkActionKind : int32_t {
    actionGoTo = 0,
    actionGoToR = 1,
    actionLaunch = 2,
    actionURI = 3,
    actionNamed = 4,
    actionMovie = 5,
    actionUnknown = 6,
};

class LinkAction {
public:
    virtual ~LinkAction() = default;
    virtual bool isOk() const = 0;
    virtual int32_t getKind() const = 0;
};

class LinkGoTo : public LinkAction {
public:
    bool isOk() const override { return dest != nullptr || !namedDest.empty(); }
    int32_t getKind() const override { return actionGoTo; }

    std::unique_ptr<LinkDestination> dest;
    std::string namedDest;
};

class LinkGoToR : public LinkAction {
public:
    bool isOk() const override {
        return !fileName.empty() && (dest != nullptr || !namedDest.empty());
    }
    int32_t getKind() const override { return actionGoToR; }

    std::string fileName;
    std::unique_ptr<LinkDestination> dest;
    std::string namedDest;
    bool newWindow = false;
};

class LinkLaunch : public LinkAction {
public:
    bool isOk() const override { return !fileName.empty(); }
    int32_t getKind() const override { return actionLaunch; }

    std::string fileName;
    std::string params;
};

class LinkURI : public LinkAction {
public:
    bool isOk() const override { return !uri.empty(); }
    int32_t getKind() const override { return actionURI; }

    std::string uri;
};

class LinkNamed : public LinkAction {
public:
    bool isOk() const override { return !name.empty(); }
    int32_t getKind() const override { return actionNamed; }

    std::string name;
};

class LinkMovie : public LinkAction {
public:
    bool isOk() const override { return annotRef.number >= 0 || !title.empty(); }
    int32_t getKind() const override { return actionMovie; }

    LinkPageRef annotRef{-1, 0};
    std::string title;
};

class LinkUnknown : public LinkAction {
public:
    bool isOk() const override { return !action.empty(); }
    int32_t getKind() const override { return actionUnknown; }

    std::string action;
};

// A go-to from an outline item's Dest value (already resolved); null when it
// carries no usable destination.
std::unique_ptr<LinkAction> makeGoTo(const CPdfElement& value);
// The action a resolved action dictionary describes, or null.
std::unique_ptr<LinkAction> makeAction(const CPdfElement& value);
// The file name of a file specification: a string, or the Unix or F entry of
// a dictionary; empty when there is none.
std::string getFileSpecName(const CPdfElement& value);
