#include "platform/systemdate.h"

#include <QDate>

namespace platform {

namespace {
QString& fixedDate()
{
    static QString date;
    return date;
}
} // namespace

QString SystemDateText()
{
    if (!fixedDate().isEmpty())
        return fixedDate();
    return QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy"));
}

void SetSystemDateForTesting(const QString& mmddyyyy)
{
    fixedDate() = mmddyyyy;
}

} // namespace platform
