#include "platform/widgets.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

// The width a label's text may take when the label is `width` wide.
int TextRoom(const QLabel* label, int width)
{
    const QMargins margins = label->contentsMargins();
    return width - margins.left() - margins.right() - 2 * label->margin();
}

} // namespace

void FitFigure(QLabel* label, const QRect& home, int leftmost, qreal smallestPoints)
{
    QFont font = label->parentWidget() != nullptr ? label->parentWidget()->font() : label->font();
    const QString text = label->text();
    const int widest = std::max(home.width(), home.right() + 1 - leftmost);
    int width = home.width();
    if (QFontMetrics(font).horizontalAdvance(text) > TextRoom(label, width))
        width = widest;
    while (QFontMetrics(font).horizontalAdvance(text) > TextRoom(label, width) &&
           font.pointSizeF() - 0.25 >= smallestPoints)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label->setFont(font);
    label->setGeometry(home.right() + 1 - width, home.y(), width, home.height());
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(text) > TextRoom(label, width))
        label->setText(metrics.elidedText(text, Qt::ElideLeft, TextRoom(label, width)));
}

void FitBoxWidth(QLineEdit* box, int homeWidth, int widest)
{
    // What a box draws around its text: the frame, the margins of its own, and two pixels
    // on either side, as QLineEdit lays its text out; the cursor takes one more.
    const int frame =
        box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box) : 0;
    const QMargins margins = box->textMargins() + box->contentsMargins();
    const int needed = box->fontMetrics().horizontalAdvance(box->text()) + 2 * frame + 4 + 1 +
                       margins.left() + margins.right();
    box->resize(std::clamp(needed, homeWidth, std::max(homeWidth, widest)), box->height());
}

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
