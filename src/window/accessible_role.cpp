#include "accessible_role.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace tarvoni {

namespace {

constexpr char kRoleProperty[] = "tarvoniAccessibleRole";

class WidgetWithItsRole : public QAccessibleWidget {
public:
    WidgetWithItsRole(QWidget *widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto *label = qobject_cast<const QLabel *>(widget());
        if (t == QAccessible::Name && label && widget()->accessibleName().isEmpty())
            return label->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *interfaceWithItsRole(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    const QVariant role = widget ? widget->property(kRoleProperty) : QVariant();
    if (!role.isValid())
        return nullptr;
    return new WidgetWithItsRole(widget, role.value<QAccessible::Role>());
}

} // namespace

void setAccessibleRole(QWidget *widget, QAccessible::Role role)
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceWithItsRole);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(kRoleProperty, QVariant::fromValue(role));
    // The widget may have been described already (a label tells of its text as it is made);
    // that description goes, and the next one asked for has the role.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget);
    if (made && (!dynamic_cast<WidgetWithItsRole *>(made) || made->role() != role))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    // A widget being destroyed goes back to Qt's own interface, which knows not to describe a
    // widget that is going away.
    QObject::connect(widget, &QObject::destroyed,
                     [](QObject *object) { object->setProperty(kRoleProperty, QVariant()); });
}

} // namespace tarvoni
