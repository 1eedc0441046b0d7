#include "forms/putback.h"

#include "app/appstate.h"
#include "platform/messages.h"

kestrow::Status MakeChange(AppState& state, QWidget* parent,
                           const std::function<kestrow::Status(kestrow::IfRemoved)>& change)
{
    kestrow::Status status = change(kestrow::IfRemoved::Refuse);
    if (!status.removedOutside())
        return status;
    if (platform::AskYesNo(parent, platform::kProgramTitle, QString::fromStdString(status.message)))
        return change(kestrow::IfRemoved::PutBack);
    // What could be undone belongs to the file that is gone.
    state.history().clear();
    status.message = state.data().startEmpty().message;
    return status;
}
