#include "stream_server.h"

#include "event_wait.h"
#include "process_tree.h"

#include <algorithm>
#include <cstdio>

namespace bench {

StreamServer::~StreamServer()
{
    endTree(m_process.processId());
}

bool StreamServer::start(const QString &workDir, int port)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("STREAM_SERVER_VERBOSE"), QStringLiteral("1"));
    m_process.setProcessEnvironment(env);
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process, [this] { read(); });
    m_process.start(QStringLiteral("python3"),
                    {QStringLiteral(TARVONI_STREAM_SERVER), QStringLiteral("--workdir"), workDir,
                     QStringLiteral("--port"), QString::number(port)});
    return waitUntil([this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
                     60000)
        && m_process.readLine().startsWith("PORT");
}

// Log lines read "stream_server: 127.0.0.1 - - [date] "GET /path HTTP/1.1" 200 -".
void StreamServer::read()
{
    const qint64 at = nowNs();
    m_log += m_process.readAllStandardError();
    for (qsizetype end; (end = m_log.indexOf('\n')) >= 0; m_log.remove(0, end + 1)) {
        const QByteArray line = m_log.left(end);
        const qsizetype request = line.indexOf("\"GET ");
        if (request >= 0)
            m_requests.emplace_back(at, line.mid(request + 1, line.indexOf('"', request + 1) - request - 1));
    }
}

qint64 StreamServer::firstRequestAfter(qint64 fromNs) const
{
    const auto it = std::find_if(m_requests.begin(), m_requests.end(),
                                 [fromNs](const auto &request) { return request.first >= fromNs; });
    return it == m_requests.end() ? -1 : it->first;
}

StreamServer::HlsRequests StreamServer::hlsRequestsBetween(qint64 fromNs, qint64 toNs) const
{
    HlsRequests counts;
    for (const auto &[at, line] : m_requests) {
        if (at < fromNs || at > toNs)
            continue;
        if (line.startsWith("GET /hls/seg/"))
            ++counts.segments;
        else if (line.startsWith("GET /hls/live.m3u8?") || line.startsWith("GET /hls/master.m3u8?"))
            ++counts.playlists;
        else {
            ++counts.others;
            std::fprintf(stderr, "    request for something else: %s\n", line.constData());
        }
    }
    return counts;
}

} // namespace bench
