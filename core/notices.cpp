#include "core/notices.h"

#include <sys/stat.h>

namespace kestrow::notices {

namespace {
std::string Str(std::string_view text)
{
    return std::string(text);
}
} // namespace

std::string ChangedOutside(std::string_view dataFile, std::string_view rereadProblem)
{
    std::string text = "The data file " + Str(dataFile) +
                       " was changed outside Kestrow since Kestrow last read it. Your change "
                       "was not made";
    if (rereadProblem.empty())
        return text + "; Kestrow has read the file again. Check what is shown now and make "
                      "the change again.";
    return text + ", and Kestrow could not read the file again: " + Str(rereadProblem) + ".";
}

namespace {
std::string Removed(std::string_view dataFile)
{
    return "The data file " + Str(dataFile) + " was removed outside Kestrow.";
}
} // namespace

std::string RemovedOutside(std::string_view dataFile, bool withChange)
{
    return Removed(dataFile) + " Put back the payments Kestrow shows" +
           (withChange ? ", with your change?" : "?") +
           " If you answer No, nothing is written, and Kestrow goes on with an empty data file.";
}

std::string RemovedWhileShown(std::string_view dataFile)
{
    return Removed(dataFile) +
           " Kestrow still shows the payments it read; the next change you make asks whether "
           "to put them back.";
}

std::string NotReadAgain(std::string_view dataFile, std::string_view reason)
{
    return "The data file " + Str(dataFile) +
           " was changed outside Kestrow, and Kestrow cannot read it: " + Str(reason) +
           ". Kestrow still shows the payments it read before and makes no change to the file "
           "until it can read it again.";
}

std::string NotUndone(std::string_view dataFile, std::string_view what)
{
    return "Kestrow cannot " + Str(what) + ": the data file " + Str(dataFile) +
           " no longer holds what Kestrow last wrote to it, because it was changed outside "
           "Kestrow. Nothing was changed; Kestrow has read the file again.";
}

std::string NotDeletedChangedOutside(std::string_view dataFile)
{
    return "Kestrow has not deleted the data file " + Str(dataFile) +
           ": it was changed outside Kestrow since Kestrow last read it, so it may hold "
           "payments Kestrow has not shown you.";
}

std::string CannotSaveInFolder(std::string_view dataFile, std::string_view tempFile,
                               std::string_view reason)
{
    return "Kestrow cannot save changes to the data file " + Str(dataFile) +
           ": it cannot create its scratch file " + Str(tempFile) + " beside it (" + Str(reason) +
           "). You can look at your payments, but Pay, Step, Delete, Edit and new entries will "
           "fail. Kestrow leaves the file where it is; to make changes, make its folder "
           "writable or move the file to a folder you can write, then start Kestrow again.";
}

std::string KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISLNK(mode))
        return "a symbolic link";
    return "an unknown kind of file";
}

std::string NotAPlainFile(std::string_view dataFile, mode_t mode)
{
    return "Kestrow cannot use " + Str(dataFile) + " as its data file: it is " + KindOf(mode) +
           ", not a plain file. Move it away or rename it, then start Kestrow again.";
}

std::string DanglingLink(std::string_view link, std::string_view target)
{
    return "The data file " + Str(link) + " is a symbolic link to " + Str(target) +
           ", which does not exist. Kestrow does not create a file there: restore the link's "
           "target or remove the link, then start Kestrow again.";
}

std::string RestoredFromScratch(std::string_view dataFile, std::string_view tempFile,
                                std::size_t records, bool lastLineCut)
{
    std::string text = "Kestrow found the data file " + Str(dataFile) +
                       " missing and restored it from the scratch file " + Str(tempFile) +
                       " of an interrupted change. That copy may be incomplete: it holds " +
                       std::to_string(records) + (records == 1 ? " record" : " records");
    if (lastLineCut)
        text += " (its last line was cut off and has been left out)";
    return text + ", and any records after them are missing. Check your payments under Edit "
                  "Entries.";
}

std::string YearBeyond9999(std::string_view newDate)
{
    return "The payment's new date would be " + Str(newDate) +
           ", after the year 9999, which Kestrow cannot store. Nothing was changed.";
}

} // namespace kestrow::notices
