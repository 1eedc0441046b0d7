#pragma once
// Placing controls from positions in twips (1440 to the inch, 15 to a logical pixel) and
// the fonts the windows ask for.

#include <QFont>
#include <QRect>

class QLabel;
class QLineEdit;
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

// A figure shown whole in its label, whose right edge stays where `home` puts it: at home
// when it fits there, otherwise widened to the left as far as `leftmost`, then in a smaller
// font down to `smallestPoints`. A figure too long even for that is cut on the left behind
// an ellipsis, so that a smaller number never passes for it.
void FitFigure(QLabel* label, const QRect& home, int leftmost, qreal smallestPoints = 6);
// A text box widened to the right, from its laid-out width `homeWidth` up to `widest`, so
// that the whole of its text shows; back to `homeWidth` when the text fits there.
void FitBoxWidth(QLineEdit* box, int homeWidth, int widest);

// "Courier New", falling back to Liberation Mono and then any fixed-pitch font, so the
// columns of the lists line up.
QFont FixedPitchFont(qreal points);
// "MS Sans Serif", falling back to Liberation Sans and then the system's sans-serif.
QFont SansFont(qreal points, bool bold = false);

} // namespace platform
