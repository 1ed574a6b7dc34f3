#include "ad_engine_loader.h"

#include "ad_engine.h"
#include "ads_logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPluginLoader>

namespace tarvoni {

namespace {

QStringList moduleCandidates()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString fileName = QStringLiteral(TARVONI_AD_ENGINE_FILE_NAME);
    return {
        QDir(appDir).filePath(fileName),
        QDir::cleanPath(appDir + QLatin1Char('/') + QStringLiteral(TARVONI_AD_ENGINE_RELATIVE_DIR)
                        + QLatin1Char('/') + fileName),
        QStringLiteral(TARVONI_AD_ENGINE_INSTALL_DIR "/") + fileName,
    };
}

// The module's instance, or null with the reason added to `errors`. The module stays loaded.
AdEngine *loadModule(const QString &path, QStringList &errors)
{
    QPluginLoader loader(path);
    QObject *instance = loader.instance();
    if (!instance) {
        errors << loader.errorString();
        return nullptr;
    }
    auto *engine = qobject_cast<AdEngine *>(instance);
    if (!engine)
        errors << QStringLiteral("%1 is no ad engine").arg(path);
    return engine;
}

AdEngine *loadFirstModule()
{
    QStringList errors;
    for (const QString &candidate : moduleCandidates()) {
        if (!QFile::exists(candidate))
            continue;
        if (AdEngine *engine = loadModule(candidate, errors))
            return engine;
    }
    if (errors.isEmpty())
        errors << QStringLiteral(TARVONI_AD_ENGINE_FILE_NAME " not found");
    qCWarning(lcAds, "the ad panes stay empty: %s", qPrintable(errors.join(QStringLiteral("; "))));
    return nullptr;
}

} // namespace

AdEngine *adEngine()
{
    static AdEngine *const engine = loadFirstModule();
    return engine;
}

} // namespace tarvoni
