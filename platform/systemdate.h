#pragma once
#include <QString>

namespace platform {

// Today's date from the system clock as the text mm-dd-yyyy.
QString SystemDateText();
// Tests fix the date; an empty text returns to the system clock.
void SetSystemDateForTesting(const QString& mmddyyyy);

} // namespace platform
