#include "status_notifier_client.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>

namespace tarvoni::test {

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

// The icon lives in this process, so every call to it must let this process's loop run.
QDBusMessage callAndWait(const QDBusMessage &call)
{
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, 5000);
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    return pending.reply();
}

QVariant busProperty(const QString &service, const QString &path, const QString &interface,
                     const QString &name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, kProperties, QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = callAndWait(call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QStringList registeredItems()
{
    return busProperty(kStatusNotifierWatcher, QStringLiteral("/StatusNotifierWatcher"),
                       kStatusNotifierWatcher, QStringLiteral("RegisteredStatusNotifierItems"))
        .toStringList();
}

// (sa(iiay)ss): icon name, icon pixmaps, title, description; the title is the tip.
QString toolTipTitle(const QString &service, const QString &path)
{
    const QVariant value = busProperty(service, path, kStatusNotifierItem, QStringLiteral("ToolTip"));
    const QDBusArgument argument = value.value<QDBusArgument>();
    QString iconName, title, description;
    argument.beginStructure();
    argument >> iconName;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray data;
        argument.beginStructure();
        argument >> width >> height >> data;
        argument.endStructure();
    }
    argument.endArray();
    argument >> title >> description;
    argument.endStructure();
    return title;
}

} // namespace tarvoni::test
