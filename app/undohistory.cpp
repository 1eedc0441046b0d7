#include "app/undohistory.h"

#include "core/notices.h"

namespace {

std::size_t SizeOf(const kestrow::DataStore::Change& change)
{
    return change.before.size() + change.after.size();
}

} // namespace

void UndoHistory::record(kestrow::DataStore& data, std::string label)
{
    auto change = data.takeLastChange();
    // A change that left every byte as it was (a line Pay could not change) is nothing to
    // take back.
    if (!change || change->before == change->after)
        return;
    for (const Entry& entry : undone_)
        bytes_ -= SizeOf(entry.change);
    undone_.clear();
    // A change made over a file that was changed outside Kestrow meanwhile (and read again)
    // breaks the chain: the older changes could never be undone over it.
    if (!done_.empty() && done_.back().change.after != change->before)
        clear();
    bytes_ += SizeOf(*change);
    done_.push_back({std::move(label), std::move(*change)});
    trim();
}

void UndoHistory::trim()
{
    while (!done_.empty() && (done_.size() > kMostChanges || bytes_ > kMostBytes)) {
        bytes_ -= SizeOf(done_.front().change);
        done_.pop_front();
    }
}

void UndoHistory::clear()
{
    done_.clear();
    undone_.clear();
    bytes_ = 0;
}

kestrow::Status UndoHistory::undo(kestrow::DataStore& data, kestrow::IfRemoved ifRemoved)
{
    if (!canUndo())
        return kestrow::Status::success();
    Entry& entry = done_.back();
    kestrow::Status status =
        data.replaceContents(entry.change.after, entry.change.before, ifRemoved);
    if (status.changedOutside()) {
        status.message = kestrow::notices::NotUndone(data.dataFile(), "undo " + entry.label);
        // The file now holds what someone else wrote: no change of the history can apply
        // to it again, so none stays on offer.
        clear();
        return status;
    }
    if (status) {
        undone_.push_back(std::move(entry));
        done_.pop_back();
    }
    return status;
}

kestrow::Status UndoHistory::redo(kestrow::DataStore& data, kestrow::IfRemoved ifRemoved)
{
    if (!canRedo())
        return kestrow::Status::success();
    Entry& entry = undone_.back();
    kestrow::Status status =
        data.replaceContents(entry.change.before, entry.change.after, ifRemoved);
    if (status.changedOutside()) {
        status.message = kestrow::notices::NotUndone(data.dataFile(), "redo " + entry.label);
        // The file now holds what someone else wrote: no change of the history can apply
        // to it again, so none stays on offer.
        clear();
        return status;
    }
    if (status) {
        done_.push_back(std::move(entry));
        undone_.pop_back();
        trim();
    }
    return status;
}
