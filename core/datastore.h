#pragma once
// The data file: one payment record per line, CR LF line ends, record number = line
// number. DataStore owns the read handle, which stays open for the whole run, and makes
// every change, an added record included, by rewriting the whole file through the scratch
// file; the data file itself is never opened for writing.
//
// The rewrite never deletes the data file: the scratch file is written, flushed to disk
// and renamed over the data file in one atomic step, so a crash at any moment leaves
// either the old file or the new one. A failed change removes the scratch file, leaves
// the data file byte for byte as it was and is reported as a Status with a message.
//
// The file is also a plain text file that people edit, sync and replace while Kestrow
// runs. The store remembers which file it last read or wrote and what that held; a change
// goes ahead only while the file at the path is still that one, unchanged, because record
// numbers and the copy a rewrite writes back come from what Kestrow read.

#include "core/fileops.h"
#include "core/fingerprint.h"
#include "core/rewrite.h"
#include "core/status.h"

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// Splits file contents into lines. A line ends at CR LF, CR or LF; a last line without
// a line end is still a line. Bytes are kept as they are (no decoding).
std::vector<std::string> SplitLines(std::string_view contents);

class DataStore
{
public:
    DataStore(std::string dataFile, std::string tempFile, FileOps& ops = FileOps::system());
    ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    // The path is the system's bytes. When the data file is a symbolic link, open()
    // resolves it once: from then on this names the link's target, with the scratch file
    // beside it, so that the link stays and the target gets every change.
    const std::string& dataFile() const { return dataFile_; }

    // Start-up: refuses a second Kestrow on the same folder, a link that leads nowhere and
    // anything but a plain file at the data file's name (never waiting on a pipe), recovers
    // an interrupted rewrite (restores a scratch file left where the data file is missing,
    // removes a stale one beside a complete data file), creates an empty data file if
    // there is none, opens and reads it, and finds out whether changes can be saved.
    Status open();
    // Releases the read handle and the folder lock (at the end of the run).
    void close();
    bool isOpen() const { return read_.isOpen(); }
    // "Exit" on the introduction screen: releases the file and deletes it (a file reached
    // through a link is emptied instead, so that the link keeps leading somewhere). A file
    // changed outside Kestrow since it was last read is left alone.
    Status removeFile();

    // Length in bytes of the file behind the read handle; 0 means no payments.
    std::int64_t length() const;
    // Every line from the first (read by offset, so the handle has no position to rewind).
    // On a read error the lines read so far; the second form reports the error. What is
    // read becomes what Kestrow last saw of the file (see checkFile).
    std::vector<std::string> readLines();
    Status readLines(std::vector<std::string>& lines);
    // The same as the file's bytes, for readers that split it themselves.
    Status readContents(std::string& contents);
    // Every change finds out first whether the data file was removed outside Kestrow. It is
    // then refused with RemovedOutside, nothing written, unless told to put the file back:
    // written whole, in one rewrite, from what Kestrow read, with the change.

    // Adds one record line with CR LF after the last line (given its line end if it lacks
    // one), through the rewrite.
    Status append(std::string_view line, IfRemoved ifRemoved = IfRemoved::Refuse);

    // Starts a rewrite: reads the data file and creates the scratch file. A file removed
    // from outside is asked about by Rewrite::complete().
    Rewrite beginRewrite();
    // Convenience forms of a whole rewrite.
    Status rewriteReplacing(std::int32_t recordNumber, std::string_view newLine,
                            IfRemoved ifRemoved = IfRemoved::Refuse);
    Status rewriteDeleting(std::vector<std::int32_t> recordNumbers,
                           IfRemoved ifRemoved = IfRemoved::Refuse);
    // Adds lines at the end as one rewrite (a merge: one change, undone in one step).
    Status rewriteAdding(const std::vector<std::string>& lines,
                         IfRemoved ifRemoved = IfRemoved::Refuse);

    // The file's bytes before and after the last change that was made,
    // taken once: what it needs to be undone and done again. Nothing after a failed change.
    struct Change
    {
        std::string before;
        std::string after;
    };
    std::optional<Change> takeLastChange();
    // Undo and redo: puts `contents` in place of the data file through the rewrite, as
    // long as the file holds exactly `expected` (what Kestrow last wrote). Otherwise
    // nothing changes and the result is ChangedOutside (the file then read again).
    Status replaceContents(std::string_view expected, std::string_view contents,
                           IfRemoved ifRemoved = IfRemoved::Refuse);
    // After the data file was removed outside Kestrow and the user chose not to put it
    // back: carries on as start-up does when there is no data file, with an empty one
    // (or whatever has been put at the path since), read as the file Kestrow last saw.
    Status startEmpty();
    // After a change made outside Kestrow (checkFile says Changed): reads the file at the
    // path again, as the file Kestrow last saw, so that the windows show it and changes
    // are based on it. When it cannot be read, nothing is known of it any more: every
    // change is refused until it can be, and the message says why.
    Status readAgain();

    // Whether the file at the data file's path is still the one Kestrow last read or
    // wrote, unchanged: the same file with the same size and modification time, or a file
    // with the very same bytes (touched, or saved again unchanged; Kestrow then reads it
    // from now on). Missing: nothing is there (removed from outside). Unknown: a system
    // call failed, its errno in `error`. Every change makes this check before it writes,
    // and a rewrite makes it again before it puts the new file in place.
    enum class FileState { Unchanged, Changed, Missing, Unknown };
    FileState checkFile(int& error);

    // A note from open() about what start-up recovered, empty when nothing happened.
    const std::string& recoveryNote() const { return recoveryNote_; }
    // A note from open() that changes cannot be saved where the data file is, and why;
    // empty when they can.
    const std::string& saveNote() const { return saveNote_; }

private:
    friend class Rewrite;
    // What Kestrow last saw of the data file.
    struct Seen
    {
        bool known = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        struct timespec mtime = {};
        Fingerprint fingerprint; // of the bytes
    };

    Status resolveLink();
    Status recover();
    Status restoreScratch();
    std::string probeSaving();
    void remember(const struct stat& st, const Fingerprint& fingerprint);
    void forget() { seen_.known = false; }
    bool sameFile(const struct stat& st) const;
    // The check before a change: success when the change may go ahead (the file is
    // unchanged, or removed from outside and to be put back), otherwise the refusal:
    // RemovedOutside, or ChangedOutside with the file read again.
    Status guard(IfRemoved ifRemoved);
    Status refuseChanged();
    Status refuseRemoved() const;
    // Reads the file at the path again (O_CREAT in `create`: made empty when missing);
    // empty, or the reason it could not be read.
    std::string rereadProblem(int create = 0);
    std::string saveFailure(const std::string& detail) const;

    std::string dataFile_;
    std::string tempFile_;
    std::string folder_;
    bool throughLink_ = false; // the data file was reached through a symbolic link
    FileOps& ops_;
    FileHandle read_;
    FileHandle dir_;            // the folder, locked against a second Kestrow and fsynced on rename
    Rewrite* active_ = nullptr; // the unfinished rewrite, abandoned by close()
    Seen seen_;
    std::optional<Change> lastChange_;
    std::string recoveryNote_;
    std::string saveNote_;
};

} // namespace kestrow
