#pragma once
// One rewrite of the data file through the scratch file: the lines are copied to the
// scratch file, one of them changed or left out, and the scratch file then takes the data
// file's place in one rename. The data store (core/datastore.h) starts it.

#include "core/fingerprint.h"
#include "core/scratchfile.h"
#include "core/status.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

class DataStore;

// One rewrite of the data file, which a screen may hold open while it waits for the user
// (the edit form, Pay with its dialog). Lines are copied in order; each line written ends
// with CR LF. Destroying an unfinished rewrite abandons it.
class Rewrite
{
public:
    Rewrite(Rewrite&& other) noexcept;
    Rewrite& operator=(Rewrite&&) = delete;
    ~Rewrite();

    // Copies the lines before record n to the scratch file unchanged and returns line n,
    // which is consumed (not copied). Returns nullopt when the file has fewer than n lines;
    // then every line has been copied.
    std::optional<std::string> copyUntil(std::int32_t n);
    // Writes one line of the caller's own (the changed record).
    void writeLine(std::string_view line);
    // Skips the next line without writing it (used by delete). Returns false at the end.
    bool skipLine();
    // Copies one line unchanged. Returns false at the end of the file.
    bool copyLine();
    // Copies every line not yet read.
    void copyRest();
    // Flushes the scratch file to disk and puts it in place of the data file, then
    // re-opens the read handle. On failure the data file is unchanged and the scratch
    // file is gone. When the data file was removed outside Kestrow and `ifRemoved` says
    // Refuse, nothing is put in place and the rewrite stays open: complete it again with
    // PutBack, or abandon it.
    Status complete(IfRemoved ifRemoved = IfRemoved::Refuse);
    // Closes and removes the scratch file; the data file is untouched.
    void abandon();

    bool active() const { return store_ != nullptr; }
    // Writing the lines so far to the scratch file has failed; complete() reports why.
    bool writeFailed() const { return !scratch_.failure().empty(); }
    // The scratch file could not be created: the rewrite is inactive and complete()
    // returns this failure.
    const Status& startStatus() const { return start_; }

private:
    friend class DataStore;
    Rewrite(DataStore* store, Status start);
    bool flush();
    void put(std::string_view line);
    void putBytes(std::string_view bytes);
    void detach();

    DataStore* store_ = nullptr;
    Status start_;
    ScratchFile scratch_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    std::string before_; // the file as it was read
    std::string after_;  // every byte written so far
    std::string pending_;
    Fingerprint written_;    // of every byte written
    bool lineBreak_ = false; // writeLine() was given a line break, which would split a record
};

} // namespace kestrow
