#pragma once
// Placing controls from positions in twips (1440 to the inch, 15 to a logical pixel) and
// the fonts the windows ask for.

#include <QFont>
#include <QRect>

class QWidget;

namespace platform {

constexpr int Twips(int twips)
{
    return (twips + 7) / 15;
}
inline QRect TwipRect(int left, int top, int width, int height)
{
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}
// Places a control at a position given in twips.
void Place(QWidget* widget, int left, int top, int width, int height);

// "Courier New", falling back to Liberation Mono and then any fixed-pitch font, so the
// columns of the lists line up.
QFont FixedPitchFont(qreal points);
// "MS Sans Serif", falling back to Liberation Sans and then the system's sans-serif.
QFont SansFont(qreal points, bool bold = false);

} // namespace platform
