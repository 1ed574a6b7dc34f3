#pragma once

#include <QString>

namespace tarvoni::vlc {

// Why a station could not be played, as far as the player can tell.
enum class Failure {
    HostNotFound,
    ConnectionRefused,
    NoAnswer,
    ServerStatus, // the server answered with an HTTP error; see the status code
    NotAudio,
    NothingPlayable, // a playlist none of whose entries played
    CannotPlay,
};

struct FailureReport {
    Failure kind = Failure::CannotPlay;
    int httpStatus = 0;

    friend bool operator==(const FailureReport &, const FailureReport &) = default;
};

// The texts of the status line. Each fits the three short lines of the window's status label.
namespace status {

QString ready();
QString connecting(const QString &host, int reconnectAttempt);
QString buffering(int percent);
QString playing(const QString &title, int kbps, bool audioOutput);
QString stopped();
QString waitingToReconnect(bool stalled, int attempt, int waitSeconds);
QString checking();
QString failed(const FailureReport &failure, const QString &host);
QString unavailable(const QString &reason);

} // namespace status

// Metadata sent by a server made fit for the status line: control and direction characters
// removed, white space collapsed, cut to `maxLength` characters. Never interpreted.
QString cleanMetadata(const QString &raw, int maxLength = 60);

// A stream bitrate in kbit/s as a listener knows it: measured rates close to a standard
// MP3/AAC rate are given as that rate.
int roundedBitrate(double kbps);

} // namespace tarvoni::vlc
