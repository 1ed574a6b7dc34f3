#include "engine_settings.h"

#include "ads_logging.h"
#include "engine_environment.h"
#include "known_engine_messages.h"

#include <QCoreApplication>

#include <unistd.h>

namespace tarvoni {

namespace {

// Chromium switches that cut the engine's memory without touching its sandbox: one renderer
// process for both panes; no GPU work (the panes are small and drawn in software); no fork
// server for unsandboxed helpers, as every helper but the renderer runs inside the program
// (8 MB); the engine's smaller caches and heaps (1.5 MB).
const char engineFlags[] = "--renderer-process-limit=1 --disable-gpu --no-unsandboxed-zygote "
                           "--enable-low-end-device-mode";

// The panes are small and the engine draws them in software (unless Qt Quick is told
// otherwise); nothing else in the program draws with GL, so on X11 the GL stack (some 35 MB)
// is not loaded at all. Returns whether it is left out.
bool leaveOutGl(EngineEnvironment &environment)
{
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")
        || !qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        return false;
    }
    environment.set("QT_XCB_GL_INTEGRATION", "none");
    return true;
}

// The engine reports its set-up on every start; the program keeps no log.
void quietEngineReport(EngineEnvironment &environment)
{
    if (!qgetenv("QT_LOGGING_RULES").contains("qt.webenginecontext"))
        environment.append("QT_LOGGING_RULES", "qt.webenginecontext.info=false", ';');
}

// The engine's sandbox cannot run as root. Returns whether it was turned off here.
bool leaveOutSandboxForRoot(EngineEnvironment &environment)
{
    if (geteuid() != 0 || !qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        return false;
    environment.set("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qCInfo(lcAds, "running as root, so the ad panes' web engine runs without its sandbox.");
    return true;
}

// The engine adds this variable itself as it starts (for Mesa), while other threads of the
// program are running and may be reading the environment. Added here first, before any
// thread starts, the engine's own setting only changes its value in place.
void settleEngineVariables(EngineEnvironment &environment)
{
    if (!qEnvironmentVariableIsSet("force_s3tc_enable"))
        environment.set("force_s3tc_enable", "true");
}

} // namespace

void prepareEngineSettings()
{
    // The engine is loaded after the application exists; it needs this set before that.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    EngineEnvironment &environment = EngineEnvironment::ofThisProcess();
    QStringList expected;
    if (leaveOutGl(environment))
        expected << KnownEngineMessage::noGlContext << KnownEngineMessage::noGlBackend;
    environment.append("QTWEBENGINE_CHROMIUM_FLAGS", engineFlags);
    quietEngineReport(environment);
    if (leaveOutSandboxForRoot(environment))
        expected << KnownEngineMessage::noSandbox;
    // Without the sandbox the zygote processes only cost memory.
    if (qEnvironmentVariableIntValue("QTWEBENGINE_DISABLE_SANDBOX") != 0)
        environment.append("QTWEBENGINE_CHROMIUM_FLAGS", "--no-zygote");
    settleEngineVariables(environment);
    hideKnownEngineMessages(expected);
}

void forgetEngineSettings()
{
    EngineEnvironment::ofThisProcess().restore();
}

} // namespace tarvoni
