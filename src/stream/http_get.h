#pragma once

#include "stream/answer_head.h"
#include "stream/connection.h"

#include <QString>

#include <string>

namespace tarvoni::stream {

// One GET of the relay's own (an HLS playlist or segment) over http or https: connects, asks,
// follows redirects, and reads the body as it comes, framed by its length, by chunks or by the
// server's close.
//
// Every wait ends at the deadline it is given, or as soon as anything happens on `cancelFd`
// (the relay's client hung up): whoever waits on the network is never kept past either.
class HttpGet {
public:
    enum class Read { Data, End, Failed };

    explicit HttpGet(int cancelFd)
        : m_cancelFd(cancelFd)
    {
    }

    // True once a 2xx answer's head has been read. A redirect to an address that is no stream
    // address is not followed; refusedAddress() then names it.
    bool open(const QString &address, Deadline deadline);

    const AnswerHead &head() const { return m_head; }
    // Where the answer came from, after redirects.
    const QString &address() const { return m_address; }
    const QString &refusedAddress() const { return m_refused; }

    // Appends the next bytes of the body to `out`, waiting for them until `deadline`.
    Read read(std::string *out, Deadline deadline);
    // The whole body, at most `limit` bytes; false when it is longer or does not end in time.
    bool readAll(std::string *out, size_t limit, Deadline deadline);

private:
    bool request(const QString &address, Deadline deadline);
    bool fill(Deadline deadline);
    Read readChunked(std::string *out, Deadline deadline);
    Read takeCounted(std::string *out, Deadline deadline);

    int m_cancelFd;
    Connection m_connection;
    AnswerHead m_head;
    QString m_address;
    QString m_refused;
    std::string m_buffer; // read from the server, not handed out yet
    bool m_closed = false;
    enum class Framing { Length, Chunked, Close } m_framing = Framing::Close;
    unsigned long long m_left = 0; // of the body (Length) or of the current chunk (Chunked)
    bool m_lastChunk = false;
};

// Whether the relay can fetch `address` itself: http or https with a host and no user name.
bool relayCanFetch(const QString &address);

} // namespace tarvoni::stream
