#pragma once
// What the two record forms say when they refuse a field, whether a box check on leaving
// or the shared rule for typed fields (kestrow::CheckTypedFields) finds the fault: each
// text once, so the two forms and the two moments always say it the same way.

#include "core/record.h"

#include <QString>

inline QString RefusalText(const kestrow::FieldCheck& check)
{
    switch (check.fault) {
    case kestrow::FieldFault::Empty:
        return QStringLiteral("Entry %1 is null").arg(check.field);
    case kestrow::FieldFault::Separator:
        return QStringLiteral("The character | cannot be used");
    case kestrow::FieldFault::LineBreak:
        return QStringLiteral("A line break cannot be used");
    case kestrow::FieldFault::Date:
        return QStringLiteral("Invalid date");
    case kestrow::FieldFault::Amount:
        return QStringLiteral("Invalid amount");
    case kestrow::FieldFault::Duration:
        return QStringLiteral("Invalid number of months");
    case kestrow::FieldFault::None:
        break;
    }
    return {};
}
