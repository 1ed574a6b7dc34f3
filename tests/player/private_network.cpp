#include "private_network.h"

#include <QProcess>
#include <QRegularExpression>

#include <netdb.h>
#include <unistd.h>

namespace tarvoni::testing {

namespace {

constexpr char kTable[] = "tarvoni_broken_ipv6";

// Runs nft with `arguments`, or with `script` on its standard input; its output, or an empty
// string and `error` set.
QByteArray nft(const QStringList &arguments, const QByteArray &script, QString *error)
{
    QProcess process;
    process.start(QStringLiteral("nft"), arguments);
    process.write(script);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("nft %1: %2")
                         .arg(arguments.join(QLatin1Char(' ')),
                              QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        return {};
    }
    return process.readAllStandardOutput();
}

// How many addresses for TCP the resolver gives for `host`.
int addressCount(const char *host)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0)
        return 0;
    int count = 0;
    for (const addrinfo *address = found; address; address = address->ai_next)
        ++count;
    freeaddrinfo(found);
    return count;
}

} // namespace

QString whyNoPrivateNetwork()
{
    const QByteArray outer = qgetenv("TARVONI_OUTER_NETWORK");
    char own[64] = {};
    const ssize_t length = readlink("/proc/self/ns/net", own, sizeof own - 1);
    if (geteuid() != 0 || outer.isEmpty() || length <= 0 || outer == QByteArray(own, int(length)))
        return QStringLiteral("needs a network namespace of its own: run through ctest as root");
    return {};
}

BrokenIpv6::~BrokenIpv6()
{
    if (m_started)
        nft({QStringLiteral("delete"), QStringLiteral("table"), QStringLiteral("inet"),
             QLatin1String(kTable)},
            {}, nullptr);
}

bool BrokenIpv6::start(QString *error)
{
    if (const QString why = whyNoPrivateNetwork(); !why.isEmpty()) {
        *error = why;
        return false;
    }
    if (addressCount("dual-stack.test") != 2) {
        *error = QStringLiteral("dual-stack.test does not name both loopback addresses");
        return false;
    }
    const QByteArray rules = QByteArray("table inet ") + kTable
        + " {\n chain out {\n  type filter hook output priority 0;\n"
          "  ip6 daddr ::1 meta l4proto tcp counter drop\n }\n}\n";
    QString failed;
    nft({QStringLiteral("-f"), QStringLiteral("-")}, rules, &failed);
    if (!failed.isEmpty()) {
        *error = failed;
        return false;
    }
    m_started = true;
    return true;
}

qint64 BrokenIpv6::droppedPackets() const
{
    const QByteArray listed = nft(
        {QStringLiteral("list"), QStringLiteral("table"), QStringLiteral("inet"), QLatin1String(kTable)}, {},
        nullptr);
    const QRegularExpressionMatch packets = QRegularExpression(QStringLiteral("counter packets (\\d+)"))
                                                .match(QString::fromLatin1(listed));
    return packets.hasMatch() ? packets.captured(1).toLongLong() : -1;
}

} // namespace tarvoni::testing
