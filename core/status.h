#pragma once
// The outcome of a change to a file, handed back to the window that asked for it.

#include <string>
#include <utility>

namespace kestrow {

// Outcome of a change to the data file: done, done with a warning for the user (the folder
// could not be flushed to disk after the rename), failed with a message naming the file
// and the reason, or refused because the file was changed outside Kestrow since Kestrow
// last read it (the store has then read it again; the window must refresh).
struct [[nodiscard]] Status
{
    enum class Outcome { Done, DoneWithWarning, Failed, ChangedOutside };
    Outcome outcome = Outcome::Done;
    std::string message; // the warning or the reason; empty when simply done

    static Status success() { return {}; }
    static Status warning(std::string text) { return {Outcome::DoneWithWarning, std::move(text)}; }
    static Status failure(std::string text) { return {Outcome::Failed, std::move(text)}; }
    static Status changed(std::string text) { return {Outcome::ChangedOutside, std::move(text)}; }
    bool ok() const { return outcome == Outcome::Done || outcome == Outcome::DoneWithWarning; }
    bool changedOutside() const { return outcome == Outcome::ChangedOutside; }
    explicit operator bool() const { return ok(); }
};

} // namespace kestrow
