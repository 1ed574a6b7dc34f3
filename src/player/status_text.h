#pragma once

#include <QString>

namespace tarvoni {

// Why a station could not be played, as far as the player can tell.
enum class Failure {
    HostNotFound,
    ConnectionRefused,
    NoAnswer,
    ServerStatus,     // the server answered with an HTTP error; see the status code
    ConnectionClosed, // the server hung up before it answered
    NotAudio,
    NothingPlayable, // a playlist none of whose entries played
    CannotPlay,
    UntrustedCertificate, // an https server whose certificate is not valid for it
    AddressRefused,       // the station's own address is no stream address; see the scheme
    EntryRefused,         // every playlist entry left was no stream address; see the scheme
};

struct FailureReport {
    FailureReport(Failure failure = Failure::CannotPlay, int status = 0, const QString &refusedScheme = {})
        : kind(failure)
        , httpStatus(status)
        , scheme(refusedScheme)
    {
    }

    Failure kind;
    int httpStatus;
    QString scheme; // for the refusals: the scheme refused ("file:"), or empty when there was none

    friend bool operator==(const FailureReport &, const FailureReport &) = default;
};

// What the media player is doing, as the engine reports it. statusText() gives the words.
struct PlayerState {
    enum class Kind {
        Ready,
        Connecting,            // host; attempt > 0 while reconnecting
        WaitingForAudioOutput, // the sound system has not given the engine an audio output yet
        Buffering,             // percent
        Playing,               // title, kbps, audioOutput
        Stopped,
        WaitingToReconnect, // stalled, attempt, waitSeconds
        Checking,
        Failed,      // failure, host
        Unavailable, // reason
    };

    Kind kind = Kind::Ready;
    QString host;
    int attempt = 0;
    int percent = 0;
    QString title;
    int kbps = 0;
    bool audioOutput = true;
    bool stalled = false;
    int waitSeconds = 0;
    FailureReport failure;
    QString reason;

    friend bool operator==(const PlayerState &, const PlayerState &) = default;
};

// The status line's text for a state.
QString statusText(const PlayerState &state);

// The texts of the status line. Each fits the three short lines of the window's status label.
namespace status {

QString ready();
QString connecting(const QString &host, int reconnectAttempt);
QString waitingForAudioOutput();
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

} // namespace tarvoni
