#include "status_to_say.h"

#include <QRegularExpression>

namespace tarvoni {

bool StatusToSay::next(const QString &status)
{
    static const QRegularExpression bitRate(QStringLiteral(" \\(\\d+ kbps\\)"));
    static const QRegularExpression number(QStringLiteral("\\d+"));
    // "Playing (128 kbps): <title>": the title as it stands, the words before it without numbers.
    const qsizetype titleAt = status.startsWith(QLatin1String("Playing"))
        ? status.indexOf(QLatin1String(": "))
        : -1;
    QString words = titleAt < 0 ? status : status.left(titleAt);
    words.remove(bitRate).replace(number, QStringLiteral("#"));
    if (titleAt >= 0)
        words += status.mid(titleAt);
    if (status.isEmpty() || words == m_lastSaid)
        return false;
    m_lastSaid = words;
    return true;
}

} // namespace tarvoni
