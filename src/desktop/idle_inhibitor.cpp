#include "idle_inhibitor.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace tarvoni {

namespace {

const QString kReason = QStringLiteral("Playing a radio station");
constexpr uint kSuspendFlag = 4;

QDBusMessage inhibitCall(IdleInhibitor::Service service)
{
    QDBusMessage call;
    switch (service) {
    case IdleInhibitor::Service::Portal:
        call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                              QStringLiteral("/org/freedesktop/portal/desktop"),
                                              QStringLiteral("org.freedesktop.portal.Inhibit"),
                                              QStringLiteral("Inhibit"));
        call << QString() << kSuspendFlag << QVariantMap{{QStringLiteral("reason"), kReason}};
        break;
    case IdleInhibitor::Service::PowerManagement:
        call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PowerManagement"),
                                              QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                                              QStringLiteral("org.freedesktop.PowerManagement.Inhibit"),
                                              QStringLiteral("Inhibit"));
        call << QStringLiteral("Tarvoni Radio Player") << kReason;
        break;
    case IdleInhibitor::Service::SessionManager:
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.SessionManager"), QStringLiteral("/org/gnome/SessionManager"),
            QStringLiteral("org.gnome.SessionManager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("com.tarvoniradio.TarvoniRadioPlayer") << 0u << kReason << kSuspendFlag;
        break;
    case IdleInhibitor::Service::None:
        break;
    }
    return call;
}

IdleInhibitor::Service nextService(IdleInhibitor::Service service)
{
    switch (service) {
    case IdleInhibitor::Service::Portal:
        return IdleInhibitor::Service::PowerManagement;
    case IdleInhibitor::Service::PowerManagement:
        return IdleInhibitor::Service::SessionManager;
    default:
        return IdleInhibitor::Service::None;
    }
}

} // namespace

IdleInhibitor::IdleInhibitor(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
}

IdleInhibitor::~IdleInhibitor()
{
    release(true);
}

void IdleInhibitor::setWanted(bool wanted)
{
    if (wanted == m_wanted)
        return;
    m_wanted = wanted;
    if (m_pending)
        return; // the answer decides
    if (wanted && m_held == Service::None)
        request(Service::Portal);
    else if (!wanted)
        release(false);
}

void IdleInhibitor::request(Service service)
{
    if (service == Service::None || !m_bus.isConnected())
        return;
    m_pending = true;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(inhibitCall(service)), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, service](QDBusPendingCallWatcher *finished) { onReply(service, finished); });
}

void IdleInhibitor::onReply(Service service, QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    m_pending = false;
    const QDBusMessage reply = call->reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        // Not there, or it will not do it: the next one is asked, if still wanted.
        if (m_wanted)
            request(nextService(service));
        return;
    }
    m_held = service;
    const QVariant answer = reply.arguments().first();
    if (service == Service::Portal)
        m_portalRequest = answer.value<QDBusObjectPath>().path();
    else
        m_cookie = answer.toUInt();
    if (!m_wanted)
        release(false);
}

void IdleInhibitor::release(bool wait)
{
    if (m_held == Service::None)
        return;
    QDBusMessage call;
    switch (m_held) {
    case Service::Portal:
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"), m_portalRequest,
            QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close"));
        break;
    case Service::PowerManagement:
        call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PowerManagement"),
                                              QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                                              QStringLiteral("org.freedesktop.PowerManagement.Inhibit"),
                                              QStringLiteral("UnInhibit"));
        call << m_cookie;
        break;
    case Service::SessionManager:
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.SessionManager"), QStringLiteral("/org/gnome/SessionManager"),
            QStringLiteral("org.gnome.SessionManager"), QStringLiteral("Uninhibit"));
        call << m_cookie;
        break;
    case Service::None:
        break;
    }
    m_held = Service::None;
    if (wait)
        m_bus.call(call, QDBus::Block, 1000); // at exit: the message must leave before the program does
    else
        m_bus.asyncCall(call);
}

} // namespace tarvoni
