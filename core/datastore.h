#pragma once
// The data file: one payment record per line, CR LF line ends, record number = line
// number. DataStore owns the read handle, which stays open for the whole run, and carries
// out the two ways the file changes: appending one line, and rewriting the whole file
// through the scratch file.
//
// The rewrite never deletes the data file: the scratch file is written, flushed to disk
// and renamed over the data file in one atomic step, so a crash at any moment leaves
// either the old file or the new one. A failed change removes the scratch file, leaves
// the data file byte for byte as it was and is reported as a Status with a message.

#include "core/fileops.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// Outcome of a change to the data file: done, done with a warning for the user (the folder
// could not be flushed to disk after the rename), or failed with a message naming the file
// and the reason.
struct [[nodiscard]] Status
{
    enum class Outcome { Done, DoneWithWarning, Failed };
    Outcome outcome = Outcome::Done;
    std::string message; // the warning or the reason; empty when simply done

    static Status success() { return {}; }
    static Status warning(std::string text) { return {Outcome::DoneWithWarning, std::move(text)}; }
    static Status failure(std::string text) { return {Outcome::Failed, std::move(text)}; }
    bool ok() const { return outcome != Outcome::Failed; }
    explicit operator bool() const { return ok(); }
};

// Splits file contents into lines. A line ends at CR LF, CR or LF; a last line without
// a line end is still a line. Bytes are kept as they are (no decoding).
std::vector<std::string> SplitLines(std::string_view contents);

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
    // file is gone.
    Status complete();
    // Closes and removes the scratch file; the data file is untouched.
    void abandon();

    bool active() const { return store_ != nullptr; }
    // The scratch file could not be created: the rewrite is inactive and complete()
    // returns this failure.
    const Status& startStatus() const { return start_; }

private:
    friend class DataStore;
    Rewrite(DataStore* store, Status start);
    bool flush();
    void put(std::string_view line);
    void detach();

    DataStore* store_ = nullptr;
    Status start_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    std::string pending_;
    int error_ = 0;          // first errno of a failed write, reported by complete()
    bool lineBreak_ = false; // writeLine() was given a line break, which would split a record
};

class DataStore
{
public:
    DataStore(std::string dataFile, std::string tempFile, FileOps& ops = FileOps::system());
    ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    const std::string& dataFile() const { return dataFile_; }
    const std::string& tempFile() const { return tempFile_; }

    // Start-up: refuses a second Kestrow on the same folder, recovers an interrupted
    // rewrite (restores a scratch file left where the data file is missing, removes a
    // stale one beside a complete data file), creates an empty data file if there is none
    // and opens the read handle.
    Status open();
    // Releases the read handle and the folder lock (at the end of the run).
    void close();
    bool isOpen() const { return read_.isOpen(); }
    // "Exit" on the introduction screen: releases the file and deletes it.
    Status removeFile();

    // Length in bytes of the file behind the read handle; 0 means no payments.
    std::int64_t length() const;
    // Every line from the first (read by offset, so the handle has no position to rewind).
    // On a read error the lines read so far; the second form reports the error.
    std::vector<std::string> readLines() const;
    Status readLines(std::vector<std::string>& lines) const;
    // Appends one record line with CR LF, flushed to disk. A data file removed behind
    // Kestrow's back is created again, holding the new record. On failure the file is cut
    // back to its old length.
    Status append(std::string_view line);

    // Starts a rewrite: reads the data file and creates the scratch file.
    Rewrite beginRewrite();
    // Convenience forms of a whole rewrite.
    Status rewriteReplacing(std::int32_t recordNumber, std::string_view newLine);
    Status rewriteDeleting(std::vector<std::int32_t> recordNumbers);

    // A note from open() about what start-up recovered, empty when nothing happened.
    const std::string& recoveryNote() const { return recoveryNote_; }

private:
    friend class Rewrite;
    Status recover();
    Status restoreScratch();
    std::string saveFailure(const std::string& detail) const;

    std::string dataFile_;
    std::string tempFile_;
    std::string folder_;
    FileOps& ops_;
    FileHandle read_;
    FileHandle dir_; // the folder, locked against a second Kestrow and fsynced on rename
    FileHandle temp_;
    Rewrite* active_ = nullptr; // the unfinished rewrite, abandoned by close()
    std::string recoveryNote_;
};

} // namespace kestrow
