#pragma once

// What a StatusNotifierItem host sees of a tray icon over D-Bus, for tests that check the
// icon the way a desktop's tray would.

#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tarvoni::test {

inline const QString kStatusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
inline const QString kStatusNotifierItem = QStringLiteral("org.kde.StatusNotifierItem");

// Calls on the session bus, letting this process's event loop run meanwhile (the icon may
// live in this very process).
QDBusMessage callAndWait(const QDBusMessage &call);
QVariant busProperty(const QString &service, const QString &path, const QString &interface,
                     const QString &name);
// "service/path" of every item the watcher knows.
QStringList registeredItems();
// The title of the item's ToolTip property: the tip a host shows.
QString toolTipTitle(const QString &service, const QString &path);

} // namespace tarvoni::test
