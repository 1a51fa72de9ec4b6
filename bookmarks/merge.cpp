#include "bookmarks/merge.h"

namespace {

// Matches one record against the list and its descendants, depth first.
void MergeRecord(std::vector<BookmarkRecord>& existing, const BookmarkRecord& record) {
    for (size_t i = 0; i < existing.size(); ++i) {
        if (existing[i].item == record.item) {
            if (record.insert) {
                existing.insert(existing.begin() + static_cast<std::ptrdiff_t>(i) + 1, record);
            } else {
                existing[i] = record;
            }
            return;
        }
        if (!existing[i].children.empty()) MergeRecord(existing[i].children, record);
    }
}

}  // namespace

void MergeBookmarks(std::vector<BookmarkRecord>& existing,
                    const std::vector<BookmarkRecord>& records) {
    for (const BookmarkRecord& record : records) {
        MergeRecord(existing, record);
        if (!record.children.empty()) MergeBookmarks(existing, record.children);
    }
}
