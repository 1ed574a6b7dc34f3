#include "status_announcer.h"

#include "accessible_role.h"

#include <QAccessible>

namespace tarvoni {

StatusAnnouncer::StatusAnnouncer(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusAnnouncer"));
    setAccessibleRole(this, QAccessible::Notification);
    setFocusPolicy(Qt::NoFocus);
    setVisible(false);
}

void StatusAnnouncer::announce(const QString &status)
{
    if (!m_toSay.next(status))
        return;
    setAccessibleName(status);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

} // namespace tarvoni
