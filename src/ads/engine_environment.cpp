#include "engine_environment.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>

namespace tarvoni {

EngineEnvironment &EngineEnvironment::ofThisProcess()
{
    static EngineEnvironment environment;
    return environment;
}

void EngineEnvironment::set(const char *name, const QByteArray &value)
{
    save(name);
    qputenv(name, value);
}

void EngineEnvironment::append(const char *name, const QByteArray &value, char separator)
{
    QByteArray current = qgetenv(name);
    if (!current.isEmpty())
        current += separator;
    set(name, current + value);
}

void EngineEnvironment::restore()
{
    for (const SavedVariable &variable : std::exchange(m_saved, {})) {
        if (variable.value)
            qputenv(variable.name, *variable.value);
        else
            qunsetenv(variable.name);
    }
}

// Only the first value is kept: it is the one from before the engine's settings.
void EngineEnvironment::save(const char *name)
{
    const bool known = std::any_of(m_saved.begin(), m_saved.end(),
                                   [name](const SavedVariable &v) { return qstrcmp(v.name, name) == 0; });
    if (known)
        return;
    m_saved.push_back(
        {name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt});
}

} // namespace tarvoni
