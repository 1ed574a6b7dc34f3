#include "mpris_service.h"

#include "desktop/desktop_player.h"
#include "desktop/mpris_interfaces.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QMetaProperty>
#include <QUrl>

namespace tarvoni {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// An object path element from a control name: letters, digits and '_' only.
QString pathElement(const QString &name)
{
    QString element = name;
    for (QChar &c : element) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_')
            c = u'_';
    }
    return element;
}

} // namespace

MprisService::MprisService(DesktopPlayer &player, const QDBusConnection &bus, const QString &logoDirectory,
                           QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_bus(bus)
    , m_logoDirectory(logoDirectory)
{
    new MprisRootInterface(*this);
    m_playerInterface = new MprisPlayerInterface(*this);
    m_announced = announcedProperties();
    connect(&m_player, &DesktopPlayer::changed, this, &MprisService::announceChanges);

    if (!m_bus.isConnected() || !m_bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return;
    const QString ownName = kServiceName + QStringLiteral(".instance")
        + QString::number(QCoreApplication::applicationPid());
    for (const QString &name : {kServiceName, ownName}) {
        if (m_bus.registerService(name)) {
            m_serviceName = name;
            return;
        }
    }
    m_bus.unregisterObject(kObjectPath);
}

MprisService::~MprisService()
{
    if (!m_serviceName.isEmpty()) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(kObjectPath);
    }
}

QVariantMap MprisService::metadata() const
{
    const NowPlaying now = m_player.nowPlaying();
    if (now.stationName.isEmpty())
        return {};
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(kTrackPathPrefix + pathElement(now.stationName))));
    map.insert(QStringLiteral("xesam:title"), now.streamTitle.isEmpty() ? now.stationText : now.streamTitle);
    map.insert(QStringLiteral("xesam:artist"), QStringList{now.stationText});
    const QFileInfo logo(QDir(m_logoDirectory), now.logoFileName);
    if (!now.logoFileName.isEmpty() && !m_logoDirectory.isEmpty() && logo.isFile())
        map.insert(QStringLiteral("mpris:artUrl"),
                   QUrl::fromLocalFile(QDir::cleanPath(logo.absoluteFilePath())).toString());
    return map;
}

// Every player property but Position, which clients follow by themselves.
QVariantMap MprisService::announcedProperties() const
{
    QVariantMap properties;
    const QMetaObject *meta = m_playerInterface->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (qstrcmp(property.name(), "Position") != 0)
            properties.insert(QString::fromLatin1(property.name()), property.read(m_playerInterface));
    }
    return properties;
}

void MprisService::announceChanges()
{
    const QVariantMap now = announcedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_announced = now;
    if (changed.isEmpty() || m_serviceName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kPropertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}

} // namespace tarvoni
