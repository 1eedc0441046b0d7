#include "platform/accessible.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QWidget>

#include <mutex>

namespace platform {

namespace {

const char kRoleProperty[] = "kestrowAccessibleRole";

QList<Announcer*> AnnouncersOf(QObject* window)
{
    return window->findChildren<Announcer*>(QString(), Qt::FindDirectChildrenOnly);
}

// A widget with a role of its own; its status lines come after its child widgets.
class RoleWidget : public QAccessibleWidget
{
public:
    RoleWidget(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override
    {
        return QAccessibleWidget::childCount() + int(AnnouncersOf(object()).size());
    }
    QAccessibleInterface* child(int index) const override
    {
        const int widgets = QAccessibleWidget::childCount();
        if (index < widgets)
            return QAccessibleWidget::child(index);
        const QList<Announcer*> lines = AnnouncersOf(object());
        return index - widgets < lines.size()
                   ? QAccessible::queryAccessibleInterface(lines[index - widgets])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (auto* line = child ? qobject_cast<Announcer*>(child->object()) : nullptr) {
            const qsizetype at = AnnouncersOf(object()).indexOf(line);
            return at < 0 ? -1 : QAccessibleWidget::childCount() + int(at);
        }
        return QAccessibleWidget::indexOfChild(child);
    }
};

class AnnouncerInterface : public QAccessibleObject
{
public:
    explicit AnnouncerInterface(Announcer* line) : QAccessibleObject(line) {}

    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(object()->parent());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? static_cast<Announcer*>(object())->text() : QString();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
};

QAccessibleInterface* Factory(const QString&, QObject* object)
{
    if (auto* line = qobject_cast<Announcer*>(object))
        return new AnnouncerInterface(line);
    if (auto* widget = qobject_cast<QWidget*>(object)) {
        const QVariant role = widget->property(kRoleProperty);
        if (role.isValid())
            return new RoleWidget(widget, QAccessible::Role(role.toInt()));
    }
    return nullptr;
}

void InstallFactory()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(Factory); });
}

} // namespace

void SetAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    InstallFactory();
    widget->setProperty(kRoleProperty, int(role));
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
    if (made != nullptr && made->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

Announcer::Announcer(QWidget* window) : QObject(window)
{
    InstallFactory();
}

// A screen reader that keeps names reads the new one after this event.
void Announcer::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
}

void Announcer::announce()
{
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    emit announced(text_);
}

} // namespace platform
