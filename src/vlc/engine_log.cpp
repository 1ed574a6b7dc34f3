#include "engine_log.h"

#include "player/stream_scheme.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace tarvoni::vlc {

Q_LOGGING_CATEGORY(lcEngine, "tarvoni.vlc")

bool engineVerbose()
{
    static const bool verbose = !qEnvironmentVariableIsEmpty("TARVONI_VLC_VERBOSE");
    return verbose;
}

// libVLC's log, on whichever libVLC thread logs. An access module's redirect is followed by
// libVLC to whatever scheme it names (a server's "302" to file:// opens a local file), and the
// target is opened as soon as this message is out: a target that is no stream address has its
// scheme spoiled in place, so that no access module takes it and the entry fails instead.
void onEngineLog(void *, int, const libvlc_log_t *context, const char *format, va_list args)
{
    if (format && std::strcmp(format, "redirecting to: %s") == 0) {
        va_list copy;
        va_copy(copy, args);
        char *target = va_arg(copy, char *);
        va_end(copy);
        if (target && !isStreamAddress(QString::fromUtf8(target))) {
            for (char *c = target; *c && *c != ':'; ++c)
                *c = '-';
        }
    }
    if (engineVerbose()) {
        const char *module = nullptr;
        const char *file = nullptr;
        unsigned line = 0;
        libvlc_log_get_context(context, &module, &file, &line);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::fprintf(stderr, "%lld.%03ld [%s] ", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000000,
                     module ? module : "vlc");
        std::vfprintf(stderr, format, args);
        std::fputc('\n', stderr);
    }
}

std::vector<QByteArray> engineArguments(const QStringList &extra)
{
    std::vector<QByteArray> args{
        "--ignore-config", "--no-video", "--no-lua", "--no-metadata-network-access", "--no-auto-preparse",
    };
    if (!engineVerbose())
        args.emplace_back("--quiet");
    else
        args.emplace_back("--verbose=2");
    for (const QString &arg : extra)
        args.push_back(arg.toUtf8());
    return args;
}

} // namespace tarvoni::vlc
