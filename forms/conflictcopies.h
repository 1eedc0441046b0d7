#pragma once
// A conflict copy of the data file that a sync tool left beside it (core/conflicts.h),
// put to the user: its name and what differs from the data file, line by line, and three
// choices. "Merge" adds every payment only in the copy to the data file, as one change
// that one undo takes back, and then renames the copy to its name with ".merged" added,
// so it is never offered again and never lost. "Open the copy's folder" shows the folder
// in the file manager; "Not now" leaves everything as it is until the next start. A copy
// that cannot be read is named, with the reason, and nothing changes. Nothing is deleted.

#include <string>

class AppState;
class QWidget;

enum class CopyOffer {
    Left,     // told and left as it is: not offered again while Kestrow runs
    Merged,   // the data file changed
    NotMerged // the merge was refused or failed, and the user told why; offered again later
};
CopyOffer OfferConflictCopy(AppState& state, QWidget* parent, const std::string& copy);
