#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

namespace tarvoni {

// The web engine takes its settings from the environment when it starts. They are put there
// for it alone and taken back once it runs, so that programs started from here (the web
// browser an ad link opens) do not inherit them. Variables the process did not have are added
// before any other thread runs; taking them back later only changes the table in place.
class EngineEnvironment {
public:
    // The process has one environment, so it has one of these.
    static EngineEnvironment &ofThisProcess();

    void set(const char *name, const QByteArray &value);
    // Adds `value` after what `name` holds, with `separator` between them.
    void append(const char *name, const QByteArray &value, char separator = ' ');
    // Puts back every variable set or changed here as it was before.
    void restore();

private:
    struct SavedVariable {
        const char *name;
        std::optional<QByteArray> value;
    };

    void save(const char *name);

    std::vector<SavedVariable> m_saved;
};

} // namespace tarvoni
