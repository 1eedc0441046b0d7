#pragma once
// Ending the program at once ("Exit"): every event loop is left, every window closed, and
// code that was waiting on a modal window must not go on to write or show anything.

namespace platform {

void EndProgram();
// True once EndProgram has run; handlers that return from a modal window check it.
bool ProgramEnding();
// Tests start every case with a program that is not ending, its event loops usable again.
void ResetEndingForTesting();

} // namespace platform
