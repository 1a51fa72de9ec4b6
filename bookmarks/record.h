#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// Action kinds as records hold them (the numbers of LinkActionKind).
enum ActionRecordType : int32_t {
    actionRecordGoTo = 0,
    actionRecordGoToR = 1,
    actionRecordLaunch = 2,
    actionRecordURI = 3,
    actionRecordNamed = 4,
    actionRecordNone = 6,
};

// One action of a bookmark record, as the bookmark XML file carries it.
inline constexpr float kAbsent = std::numeric_limits<float>::quiet_NaN();

struct ActionRecord {
    int32_t type = actionRecordNone;
    std::string fileName;
    std::string uri;
    std::string actionName;
    std::string destination;
    std::string namedDestination;  // a go-to into another file by a name of that file
    int32_t page = 0;
    // Coordinates of a go-to; NaN when the bookmark file leaves one out, which
    // the writer keeps as null ("keep the current position").
    float top = kAbsent;
    float left = kAbsent;
    float bottom = kAbsent;
    float right = kAbsent;
    float zoom = kAbsent;  // percent; 0 or absent means none
    bool newWindow = false;
};

// One outline entry with its subtree. Records are values: copies are deep.
struct BookmarkRecord {
    std::vector<ActionRecord> actions;
    int32_t item = -1;
    int32_t level = 0;
    std::string name;
    std::string style = "Plain";
    uint32_t color = 0;
    bool insert = false;
    // For a record read from the input's outline: that item's object, whose
    // action, destination and open state an update writes back unchanged.
    int32_t source = 0;
    bool open = false;
    std::vector<BookmarkRecord> children;

    void Reset() { *this = BookmarkRecord(); }
};

// The running item number of gathered entries. One counter serves a whole
// run of the program, so a list run numbers its files one after the other.
class ItemCounter {
public:
    int32_t take() { return next_++; }

private:
    int32_t next_ = 1;
};
