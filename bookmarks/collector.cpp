#include <cfloat>
#include <cmath>

#include "app/application.h"
#include "bookmarks/bookmarks.h"
#include "structure/catalog.h"

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

}  // namespace

// Fills the destination fields of an action from a destination.
static void FillDestination(const LinkDestination& dest, const CFolivants& application,
                            ActionRecord& action) {
    if (dest.pageIsRef) {
        action.page = dest.pageRef.number < 0 ? 0
                                              : static_cast<int32_t>(application.PageNumberOfObject(
                                                    static_cast<uint32_t>(dest.pageRef.number)));
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

// The destination of a go-to: its own, or the one its name stands for in
// this document.
static const LinkDestination* ResolveDestination(const LinkDestination* own,
                                                 const std::string& namedDest,
                                                 const CPdfCatalog& catalog,
                                                 std::unique_ptr<LinkDestination>& holder) {
    if (own != nullptr) return own;
    holder = catalog.findDest(namedDest);
    return holder.get();
}

void CFolivants::CollectBookmarks(const OutlineItemList& items, std::vector<BookmarkRecord>& target,
                                  int level, bool writeXml) {
    const CPdfCatalog& catalog = *document.getCatalog();
    for (const auto& item : items) {
        BookmarkRecord record;
        for (const auto& link : item->actions) {
            if (!link || !link->isOk()) continue;
            ActionRecord action;
            std::unique_ptr<LinkDestination> named;
            switch (link->getKind()) {
                case actionGoTo: {
                    const auto& goTo = static_cast<const LinkGoTo&>(*link);
                    const LinkDestination* dest =
                        ResolveDestination(goTo.dest.get(), goTo.namedDest, catalog, named);
                    if (dest != nullptr) FillDestination(*dest, *this, action);
                    action.type = actionRecordGoTo;
                    break;
                }
                case actionGoToR: {
                    const auto& goToR = static_cast<const LinkGoToR&>(*link);
                    const LinkDestination* dest =
                        ResolveDestination(goToR.dest.get(), goToR.namedDest, catalog, named);
                    if (dest != nullptr) FillDestination(*dest, *this, action);
                    action.fileName = goToR.fileName;
                    action.newWindow = goToR.newWindow;
                    action.type = actionRecordGoToR;
                    break;
                }
                case actionLaunch:
                    action.fileName = static_cast<const LinkLaunch&>(*link).fileName;
                    action.type = actionRecordLaunch;
                    break;
                case actionURI:
                    action.uri = static_cast<const LinkURI&>(*link).uri;
                    action.type = actionRecordURI;
                    break;
                case actionNamed:
                    action.actionName = static_cast<const LinkNamed&>(*link).name;
                    action.type = actionRecordNamed;
                    break;
                default:
                    break;
            }
            if (action.type != actionRecordNone) record.actions.push_back(std::move(action));
        }

        record.item = nextItemNumber;
        record.level = level;
        record.name = mode == modeUpdate ? UpdateTitleValue(*item) : ExportTitleValue(*item);
        record.style = item->style;
        record.color = item->color;
        ++nextItemNumber;
        target.push_back(std::move(record));
        if (writeXml) WriteBookmarkBlock(xmlFile.get(), target.back());

        if (item->first.isRef() && level + 1 < kMaxOutlineLevel) {
            item->openKids();
            CollectBookmarks(*item->kids, target.back().children, level + 1, writeXml);
            item->closeKids();
        }
    }
}
