#pragma once
// What assistive technology is told beyond what Qt derives from a widget's class: a role
// for widgets whose class says nothing about them (a plain QWidget or QFrame reads as a
// "filler"), and status announcements that a screen reader speaks wherever the focus is.

#include <QAccessible>
#include <QObject>
#include <QString>

class QWidget;

namespace platform {

// Gives `widget` this role instead of the one Qt derives from its class. Qt keeps the first
// accessible interface it makes for a widget; one made before this call is replaced.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// A status line that only assistive technology sees: an object with the notification
// role among the children of `window`, which should have its role set with
// SetAccessibleRole so that it lists the line. announce() makes a screen reader speak the
// line without moving the focus; setText() only changes what the line reads when visited.
//
// Qt 6.4 has no announcement event (it comes with Qt 6.8), its AT-SPI bridge drops Alert
// events, and the name and description changes it sends carry no text, so Orca speaks them
// only for the focused object or the active window and only once until the window is
// activated again. A notification that becomes showing is spoken by Orca every time, from
// any window, as desktop and in-window notifications are.
class Announcer : public QObject
{
    Q_OBJECT
public:
    explicit Announcer(QWidget* window);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void announce();

signals:
    // Each announcement, with the line spoken.
    void announced(const QString& text);

private:
    QString text_;
};

} // namespace platform
