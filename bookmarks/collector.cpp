#include "bookmarks/collector.h"

#include <cfloat>
#include <cmath>

#include "bookmarks/bookmark_xml.h"

namespace {

// Outline levels beyond this are not walked: no real outline comes near it,
// and it keeps a maliciously deep one from exhausting the stack.
constexpr int kMaxOutlineLevel = 256;

float ToFloat(double value) {
    if (std::isnan(value)) return 0;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

// What the walk needs at every level.
struct Context {
    const CPdfCatalog& catalog;
    const PageTable& pages;
    TitleForm form;
    ItemCounter& counter;
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
    action.zoom = dest.zoom == 0 ? 0.0f : ToFloat(dest.zoom * 100.0);
    action.top = ToFloat(dest.top);
    action.left = ToFloat(dest.left);
    action.bottom = ToFloat(dest.bottom);
    action.right = ToFloat(dest.right);
    action.destination = dest.kind < 8 ? kDestKindNames[dest.kind] : "";
}

// The go-to's destination, its own or the one its name stands for in this
// document, written into the action's destination fields.
void FillGoToDestination(const LinkDestination* own, const std::string& namedDest,
                         const Context& context, ActionRecord& action) {
    std::unique_ptr<LinkDestination> named;
    if (own == nullptr) {
        named = context.catalog.findDest(namedDest);
        own = named.get();
    }
    if (own != nullptr) FillDestination(*own, context.pages, action);
}

// The record form of one action; type stays "none" for kinds a record cannot hold.
ActionRecord RecordOf(const LinkAction& link, const Context& context) {
    ActionRecord action;
    switch (link.getKind()) {
        case actionGoTo: {
            const auto& goTo = static_cast<const LinkGoTo&>(link);
            FillGoToDestination(goTo.dest.get(), goTo.namedDest, context, action);
            action.type = actionRecordGoTo;
            break;
        }
        case actionGoToR: {
            // A name in another file means nothing in this one: it is kept as it is.
            const auto& goToR = static_cast<const LinkGoToR&>(link);
            if (goToR.dest) FillDestination(*goToR.dest, context.pages, action);
            action.namedDestination = goToR.dest ? "" : goToR.namedDest;
            action.fileName = goToR.fileName;
            action.newWindow = goToR.newWindow;
            action.type = actionRecordGoToR;
            break;
        }
        case actionLaunch:
            action.fileName = static_cast<const LinkLaunch&>(link).fileName;
            action.type = actionRecordLaunch;
            break;
        case actionURI:
            action.uri = static_cast<const LinkURI&>(link).uri;
            action.type = actionRecordURI;
            break;
        case actionNamed:
            action.actionName = static_cast<const LinkNamed&>(link).name;
            action.type = actionRecordNamed;
            break;
        default:
            break;
    }
    return action;
}

void Collect(const OutlineItemList& items, int level, const Context& context,
             std::vector<BookmarkRecord>& target) {
    for (const auto& item : items) {
        BookmarkRecord record;
        for (const auto& link : item->actions) {
            if (!link || !link->isOk()) continue;
            ActionRecord action = RecordOf(*link, context);
            if (action.type != actionRecordNone) record.actions.push_back(std::move(action));
        }
        record.item = context.counter.take();
        record.level = level;
        record.name =
            context.form == TitleForm::Pdf ? UpdateTitleValue(*item) : ExportTitleValue(*item);
        record.style = item->style;
        record.color = item->color;
        record.source = item->ref.first > 0 ? item->ref.first : 0;
        record.open = item->open;
        target.push_back(std::move(record));

        if (item->first.isRef() && level + 1 < kMaxOutlineLevel) {
            item->openKids();
            Collect(*item->kids, level + 1, context, target.back().children);
            item->closeKids();
        }
    }
}

}  // namespace

std::vector<BookmarkRecord> CollectBookmarks(const OutlineItemList& items,
                                             const CPdfCatalog& catalog, const PageTable& pages,
                                             TitleForm form, ItemCounter& counter) {
    std::vector<BookmarkRecord> records;
    Collect(items, 0, Context{catalog, pages, form, counter}, records);
    return records;
}
