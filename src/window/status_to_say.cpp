#include "status_to_say.h"

#include <QRegularExpression>

namespace tarvoni {

bool StatusToSay::next(const QString &status)
{
    static const QRegularExpression number(QStringLiteral("\\d+"));
    const QString words = QString(status).replace(number, QStringLiteral("#"));
    if (status.isEmpty() || words == m_lastSaid)
        return false;
    m_lastSaid = words;
    return true;
}

} // namespace tarvoni
