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
        forget();
    bytes_ += SizeOf(*change);
    done_.push_back({std::move(label), std::move(*change)});
    trim();
}

void UndoHistory::forget()
{
    done_.clear();
    undone_.clear();
    bytes_ = 0;
}

void UndoHistory::trim()
{
    while (!done_.empty() && (done_.size() > kMostChanges || bytes_ > kMostBytes)) {
        bytes_ -= SizeOf(done_.front().change);
        done_.pop_front();
    }
}

kestrow::Status UndoHistory::undo(kestrow::DataStore& data)
{
    if (!canUndo())
        return kestrow::Status::success();
    Entry& entry = done_.back();
    kestrow::Status status = data.replaceContents(entry.change.after, entry.change.before);
    if (status.changedOutside()) {
        status.message = kestrow::notices::NotUndone(data.dataFile(), "undo " + entry.label);
        // The file now holds what someone else wrote: no change of the history can apply
        // to it again, so none stays on offer.
        forget();
        return status;
    }
    if (status) {
        undone_.push_back(std::move(entry));
        done_.pop_back();
    }
    return status;
}

kestrow::Status UndoHistory::redo(kestrow::DataStore& data)
{
    if (!canRedo())
        return kestrow::Status::success();
    Entry& entry = undone_.back();
    kestrow::Status status = data.replaceContents(entry.change.before, entry.change.after);
    if (status.changedOutside()) {
        status.message = kestrow::notices::NotUndone(data.dataFile(), "redo " + entry.label);
        // The file now holds what someone else wrote: no change of the history can apply
        // to it again, so none stays on offer.
        forget();
        return status;
    }
    if (status) {
        done_.push_back(std::move(entry));
        undone_.pop_back();
        trim();
    }
    return status;
}
