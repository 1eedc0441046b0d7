#pragma once
// What Kestrow tells the user about its data file as it really is: changed by another
// program, kept where changes cannot be saved, not a plain file, a link that leads nowhere,
// restored from a partial copy, or a date the file cannot hold. The data store, start-up,
// the windows and the report take these texts from here, so each says it the same way;
// what a window says about what the user typed stays with that window (the record forms'
// texts are in forms/recordfields.h). Paths are put in as the system's bytes; the windows
// decode them for display.

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace kestrow::notices {

// A change was refused because the data file is no longer what Kestrow last read or
// wrote. `rereadProblem` is empty when the file has been read again, otherwise the reason
// it could not be.
std::string ChangedOutside(std::string_view dataFile, std::string_view rereadProblem = {});

// The data file was removed outside Kestrow while Kestrow ran: the question whether to put
// back the payments Kestrow shows, with the change the user has just made when
// `withChange`.
std::string RemovedOutside(std::string_view dataFile, bool withChange);
// The same, told as soon as Kestrow sees the file gone: the window keeps the payments it
// shows, and the next change asks the question above.
std::string RemovedWhileShown(std::string_view dataFile);

// The data file changed outside Kestrow and could not be read again (`reason`): the
// window keeps what it showed, and changes are refused until the file can be read.
std::string NotReadAgain(std::string_view dataFile, std::string_view reason);

// "Exit" left the data file in place: it was changed outside Kestrow since Kestrow last
// read it.
std::string NotDeletedChangedOutside(std::string_view dataFile);

// Undo or redo refused: the data file no longer holds what Kestrow last wrote to it.
// `what` names the step, "undo Pay of Rent" or "redo Delete of 3 entries".
std::string NotUndone(std::string_view dataFile, std::string_view what);

// Start-up: the scratch file cannot be created beside the data file, so no change can be
// put in place.
std::string CannotSaveInFolder(std::string_view dataFile, std::string_view tempFile,
                               std::string_view reason);

// What a file of mode `mode` is, for a message: "a folder", "a named pipe" ...
std::string KindOf(mode_t mode);
// Start-up: something other than a plain file has the data file's name.
std::string NotAPlainFile(std::string_view dataFile, mode_t mode);
// Start-up: the data file is a symbolic link to something that does not exist.
std::string DanglingLink(std::string_view link, std::string_view target);

// Start-up rebuilt a missing data file from the scratch file of an interrupted change,
// which may hold only part of the records.
std::string RestoredFromScratch(std::string_view dataFile, std::string_view tempFile,
                                std::size_t records, bool lastLineCut);

// Pay or Step would give the payment a date beyond the year 9999.
std::string YearBeyond9999(std::string_view newDate);

} // namespace kestrow::notices
