#include "platform/widgets.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QWidget>

namespace platform {

void Place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipRect(left, top, width, height));
}

QFont FixedPitchFont(qreal points)
{
    QFont font(QStringLiteral("Courier New"));
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(points);
    }
    return font;
}

QFont SansFont(qreal points, bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace platform
