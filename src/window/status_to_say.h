#pragma once

#include <QString>

namespace tarvoni {

// Which of the statuses shown one after another a screen reader is to say unasked: each new
// one, but not one that differs from the last said only in its numbers, so that a buffering
// percentage or a reconnect countdown does not talk over everything else every second, nor
// one whose only news is the bit rate; and never an empty one. A stream's title is news down
// to its numbers ("Track 1", "Track 2").
class StatusToSay {
public:
    // Whether `status`, shown next, is to be said; if it is, it is the last said from now on.
    bool next(const QString &status);

private:
    QString m_lastSaid; // its numbers left out
};

} // namespace tarvoni
