#pragma once
// Undo and redo of every change Kestrow makes to the data file while it runs. Each change
// is kept as the file's bytes before and after it, so taking it back gives the file byte
// for byte as it was, line ends and all. The history lives in memory for the run only;
// nothing new appears beside the data file.

#include "core/datastore.h"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

class UndoHistory
{
public:
    // The most changes kept, and the most bytes all of them may hold; the oldest go first.
    static constexpr std::size_t kMostChanges = 100;
    static constexpr std::size_t kMostBytes = std::size_t(64) << 20;

    // After a change has been made: takes its bytes from the store and names it ("Pay of
    // Rent"). A new change cannot be redone over, so what was undone is forgotten; nor can
    // older changes be undone when the new one started from a file changed outside.
    void record(kestrow::DataStore& data, std::string label);

    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    // The name of the change undo or redo would take back or make again; empty when none.
    std::string undoLabel() const { return canUndo() ? done_.back().label : std::string(); }
    std::string redoLabel() const { return canRedo() ? undone_.back().label : std::string(); }

    // Puts the file back as it was before the last change (or as it was after the last
    // change undone), through the same crash-safe rewrite as every change. Refused, with
    // nothing changed, when the file no longer holds what Kestrow last wrote to it; the
    // history is then emptied, as none of it can apply to that file. Any other failure
    // leaves the file and the history as they were. A file removed outside Kestrow is
    // treated as by every change (kestrow::IfRemoved).
    kestrow::Status undo(kestrow::DataStore& data,
                         kestrow::IfRemoved ifRemoved = kestrow::IfRemoved::Refuse);
    kestrow::Status redo(kestrow::DataStore& data,
                         kestrow::IfRemoved ifRemoved = kestrow::IfRemoved::Refuse);
    // Forgets every change: the file they were made to is gone, or holds what someone else
    // wrote.
    void clear();

private:
    struct Entry
    {
        std::string label;
        kestrow::DataStore::Change change;
    };
    void trim();

    std::deque<Entry> done_;
    std::vector<Entry> undone_;
    std::size_t bytes_ = 0;
};
