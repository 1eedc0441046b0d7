#pragma once
// A change that finds the data file removed outside Kestrow asks first, before anything is
// written, whether to put back the payments Kestrow shows, with the change. Yes writes them
// all, the change included, in one crash-safe rewrite. No writes nothing: Kestrow goes on
// as start-up does when there is no data file, with an empty one and no undo history, and
// the window shows the introduction screen.

#include "core/status.h"

#include <functional>

class AppState;
class QWidget;

// Makes `change`, refusing at first to write where the data file was removed; when it
// was, asks the user, then makes it again putting the file back (Yes) or starts from an
// empty data file (No). Returns the change's outcome; after No, RemovedOutside with an
// empty message, or the reason the empty data file could not be made.
kestrow::Status MakeChange(AppState& state, QWidget* parent,
                           const std::function<kestrow::Status(kestrow::IfRemoved)>& change);
