#pragma once
// The outcome of a change to a file, handed back to the window that asked for it.

#include <string>
#include <utility>

namespace kestrow {

// Outcome of a change to the data file: done, done with a warning for the user (the folder
// could not be flushed to disk after the rename), failed with a message naming the file
// and the reason, refused because the file was changed outside Kestrow since Kestrow last
// read it (the store has then read it again; the window must refresh), or not made because
// the file was removed outside Kestrow (the message asks whether to put it back).
struct [[nodiscard]] Status
{
    enum class Outcome { Done, DoneWithWarning, Failed, ChangedOutside, RemovedOutside };
    Outcome outcome = Outcome::Done;
    std::string message; // the warning or the reason; empty when simply done

    static Status success() { return {}; }
    static Status warning(std::string text) { return {Outcome::DoneWithWarning, std::move(text)}; }
    static Status failure(std::string text) { return {Outcome::Failed, std::move(text)}; }
    static Status changed(std::string text) { return {Outcome::ChangedOutside, std::move(text)}; }
    static Status removed(std::string text) { return {Outcome::RemovedOutside, std::move(text)}; }
    bool ok() const { return outcome == Outcome::Done || outcome == Outcome::DoneWithWarning; }
    bool changedOutside() const { return outcome == Outcome::ChangedOutside; }
    bool removedOutside() const { return outcome == Outcome::RemovedOutside; }
    explicit operator bool() const { return ok(); }
};

// What a change does when it finds the data file removed outside Kestrow: refuse, writing
// nothing, so that the user can be asked; or put the file back, written whole from what
// Kestrow shows, with the change.
enum class IfRemoved { Refuse, PutBack };

} // namespace kestrow
