#include "bookmarks/collector.h"

#include <cfloat>
#include <cmath>
#include <functional>

#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "pdf/text_string.h"

namespace {

// Outline levels beyond this are not walked: no real outline comes near it,
// and it keeps a maliciously deep one from exhausting the stack.
constexpr int kMaxOutlineLevel = 256;

// A coordinate of a destination as a record holds it; one left null stays NaN.
float ToFloat(const std::optional<double>& value, double scale = 1) {
    if (!value || std::isnan(*value)) return kAbsent;
    const double scaled = *value * scale;
    if (scaled > FLT_MAX) return FLT_MAX;
    if (scaled < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(scaled);
}

// What the walk needs at every level.
struct Context {
    const Catalog& catalog;
    const PageTable& pages;
    ItemCounter& counter;
    Warnings* warnings;

    void warn(const std::string& line) const {
        if (warnings != nullptr) warnings->add(line);
    }
};

// Fills the destination fields of an action from a destination.
void FillDestination(const LinkDestination& dest, const PageTable& pages, ActionRecord& action) {
    if (dest.pageIsRef) {
        action.page =
            dest.pageRef.number < 0
                ? 0
                : static_cast<int32_t>(pages.pageOf(static_cast<uint32_t>(dest.pageRef.number)));
    } else {
        action.page = dest.pageNumber;
    }
    action.zoom = ToFloat(dest.zoom, 100.0);
    action.top = ToFloat(dest.top);
    action.left = ToFloat(dest.left);
    action.bottom = ToFloat(dest.bottom);
    action.right = ToFloat(dest.right);
    action.destination = kDestKindNames[static_cast<uint32_t>(dest.kind)];
}

// A go-to's destination: its own, or the one its name stands for in this
// document, whose page keeps the file readable to people. The name stays too.
void FillGoTo(const LinkTarget& target, const Context& context, int32_t item,
              ActionRecord& action) {
    if (target.dest) return FillDestination(*target.dest, context.pages, action);
    action.namedDestination = target.namedDest;
    action.namedDestinationIsName = target.namedDestIsName;
    bool notADestination = false;
    if (std::unique_ptr<LinkDestination> named =
            context.catalog.findDest(target.namedDest, &notADestination)) {
        FillDestination(*named, context.pages, action);
    } else if (notADestination) {
        context.warn(Format(
            "Warning: the named destination '%s' holds no destination; item %d is read without "
            "its page",
            pdftext::Decode(target.namedDest).c_str(), item));
    }
}

// The record form of one action.
ActionRecord RecordOf(const LinkAction& link, const Context& context, int32_t item) {
    ActionRecord action;
    switch (link.kind()) {
        case LinkKind::GoTo:
            action.type = ActionType::GoTo;
            FillGoTo(static_cast<const LinkGoTo&>(link), context, item, action);
            return action;
        case LinkKind::GoToR: {
            // A name in another file means nothing in this one: it is kept as it is.
            const auto& goToR = static_cast<const LinkGoToR&>(link);
            action.type = ActionType::GoToR;
            if (goToR.dest) {
                FillDestination(*goToR.dest, context.pages, action);
            } else {
                action.namedDestination = goToR.namedDest;
                action.namedDestinationIsName = goToR.namedDestIsName;
            }
            action.fileName = goToR.fileName;
            action.newWindow = goToR.newWindow;
            return action;
        }
        case LinkKind::Launch: {
            const auto& launch = static_cast<const LinkLaunch&>(link);
            action.type = ActionType::Launch;
            action.fileName = launch.fileName;
            action.newWindow = launch.newWindow;
            return action;
        }
        case LinkKind::Uri:
            action.type = ActionType::Uri;
            action.uri = static_cast<const LinkURI&>(link).uri;
            return action;
        case LinkKind::Named:
            action.type = ActionType::Named;
            action.actionName = static_cast<const LinkNamed&>(link).name;
            return action;
        case LinkKind::JavaScript:
            action.type = ActionType::JavaScript;
            action.script = static_cast<const LinkJavaScript&>(link).script;
            return action;
    }
    return action;
}

// One item's record without its children: numbered, and warned of what it
// is read without, before any of its children.
BookmarkRecord RecordOfItem(const OutlineItem& item, int level, const Context& context) {
    BookmarkRecord record;
    record.item = context.counter.take();
    for (const pdf::Reference& lost : item.missing) {
        context.warn(Format("Warning: object %d %d R is missing; item %d is read without it",
                            lost.number, lost.generation, record.item));
    }
    for (const auto& link : item.actions) {
        if (link && link->isOk()) record.actions.push_back(RecordOf(*link, context, record.item));
    }
    record.level = level;
    record.title = pdftext::Decode(item.title);
    record.style = item.style;
    record.color = item.color;
    record.source = item.ref.first > 0 ? item.ref.first : 0;
    // An item no edit touches comes out as it went in.
    if (record.source != 0) record.kept = {true, true, true, true};
    return record;
}

bool HasKidsToWalk(const OutlineItem& item, int level) {
    return item.first.isReference() && level + 1 < kMaxOutlineLevel;
}

void Collect(const OutlineItemList& items, int level, const Context& context,
             std::vector<BookmarkRecord>& target) {
    target.reserve(items.size());
    for (const auto& item : items) {
        target.push_back(RecordOfItem(*item, level, context));
        BookmarkRecord& own = target.back();
        if (HasKidsToWalk(*item, level)) {
            item->openKids();
            Collect(*item->kids, level + 1, context, own.children);
            item->closeKids();
        }
        // Only an item with children has anything to show or hide.
        own.open = item->open && !own.children.empty();
    }
}

// As Collect, but each record goes to visit as soon as it is known, before
// its children, and none is kept.
void Visit(const OutlineItemList& items, int level, const Context& context,
           const std::function<void(const BookmarkRecord&)>& visit) {
    for (const auto& item : items) {
        BookmarkRecord record = RecordOfItem(*item, level, context);
        const bool walked = HasKidsToWalk(*item, level);
        // Every child read becomes a record: the children are known to be
        // there before the record that shows or hides them is given.
        if (walked) item->openKids();
        record.open = item->open && walked && !item->kids->empty();
        visit(record);
        if (walked) {
            Visit(*item->kids, level + 1, context, visit);
            item->closeKids();
        }
    }
}

}  // namespace

std::vector<BookmarkRecord> CollectBookmarks(const OutlineItemList& items, const Catalog& catalog,
                                             const PageTable& pages, ItemCounter& counter,
                                             Warnings* warnings) {
    std::vector<BookmarkRecord> records;
    Collect(items, 0, Context{catalog, pages, counter, warnings}, records);
    return records;
}

void VisitBookmarks(const OutlineItemList& items, const Catalog& catalog, const PageTable& pages,
                    ItemCounter& counter, Warnings* warnings,
                    const std::function<void(const BookmarkRecord&)>& visit) {
    Visit(items, 0, Context{catalog, pages, counter, warnings}, visit);
}
