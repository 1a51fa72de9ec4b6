#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// The kinds of action a bookmark record carries.
enum class ActionType : int32_t { GoTo, GoToR, Launch, Uri, Named, JavaScript };

// A coordinate or zoom that the destination leaves null: NaN.
inline constexpr float kAbsent = std::numeric_limits<float>::quiet_NaN();

// One action of a bookmark record, as the bookmark file carries it. Texts are
// characters (UTF-8); links and names are bytes.
struct ActionRecord {
    ActionType type = ActionType::GoTo;
    int32_t page = 0;         // from 1; 0 when no page is known
    std::string destination;  // XYZ, Fit, FitH, ...; empty when none
    float top = kAbsent;
    float left = kAbsent;
    float bottom = kAbsent;
    float right = kAbsent;
    float zoom = kAbsent;  // percent
    // A destination given by its name, and whether the PDF gives that name
    // as a name object (else as a string).
    std::string namedDestination;
    bool namedDestinationIsName = false;
    std::string fileName;  // characters
    bool newWindow = false;
    std::string uri;         // bytes
    std::string actionName;  // bytes
    std::string script;      // characters
};

// One outline entry with its subtree. Records are values: copies are deep.
struct BookmarkRecord {
    std::vector<ActionRecord> actions;
    int32_t item = -1;
    int32_t level = 0;
    std::string title;  // characters
    std::string style = "Plain";
    uint32_t color = 0;
    bool open = false;  // shows its children
    bool insert = false;
    // For a record that stands for an item of the input's outline: that
    // item's object, and which of its entries the update copies as they stand
    // because the bookmark file leaves them as the export wrote them.
    int32_t source = 0;
    struct Kept {
        bool title = false;
        bool color = false;
        bool style = false;
        bool actions = false;  // A, Dest and SE
    } kept;
    std::vector<BookmarkRecord> children;
};

// The running item number of gathered entries. One counter serves a whole
// run of the program, so a list run numbers its files one after the other.
class ItemCounter {
public:
    int32_t take() { return next_++; }

private:
    int32_t next_ = 1;
};
