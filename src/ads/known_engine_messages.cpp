#include "known_engine_messages.h"

#include <QtGlobal>

namespace tarvoni {

namespace {

QtMessageHandler previousHandler = nullptr;

// Filled before the engine's threads exist and only read afterwards.
QStringList &hiddenMessages()
{
    static QStringList messages;
    return messages;
}

bool isHidden(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtWarningMsg && type != QtInfoMsg)
        return false;
    if (context.category && qstrcmp(context.category, "default") != 0)
        return false;
    // The engine ends some of its lines with a line break of its own.
    return hiddenMessages().contains(message.trimmed());
}

void filterMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!isHidden(type, context, message))
        previousHandler(type, context, message);
}

} // namespace

void hideKnownEngineMessages(const QStringList &messages)
{
    if (messages.isEmpty())
        return;
    hiddenMessages() << messages;
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(filterMessage);
}

} // namespace tarvoni
