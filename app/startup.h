#pragma once
// The start-up procedure Main. The windows it shows are passed in, so start-up can be
// tested without them and app/ does not depend on forms/.

#include <QString>

#include <functional>
#include <set>
#include <string>
#include <string_view>

class AppState;

struct StartupWindows
{
    // Shows the introduction screen modally and returns when it has closed.
    std::function<void()> showIntroduction;
    // Shows the main window without waiting for it.
    std::function<void()> showMain;
};

// Fills `state` (today, the open data file, the horizon) and shows the windows. Returns
// true when the main window was shown and the program should run its event loop; false
// when the program ends here (the user left on the introduction screen, or the data file
// could not be opened, which has then been reported).
bool Main(AppState& state, const StartupWindows& windows);

// What start-up makes of the payments it has read, made again whenever the data file is
// read again after a change outside Kestrow: the horizon raised to the longest period, and
// a note naming the lines no window can use (empty when there are none). A line is named
// once a run: lines whose text is in `told` are left out of the note, and those named are
// added to it.
QString TakeInPayments(AppState& state, std::string_view contents, std::set<std::string>& told);
