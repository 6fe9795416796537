#pragma once

#include "platform/launcher.h"

#include <QList>
#include <QUrl>

namespace testsupport {

// Starts nothing: records what it was asked to start.
class RecordingLauncher : public Launcher {
public:
    struct Call {
        bool viaUrl = false;   // openUrl() rather than launch()
        Request request;       // for launch()
        QUrl url;              // for openUrl()
    };
    QList<Call> calls;
    bool result = true;

    bool launch(const Request& request, QString* error = nullptr) override
    {
        Call c;
        c.request = request;
        calls << c;
        if (!result && error)
            *error = QStringLiteral("refused by the test");
        return result;
    }
    bool openUrl(const QUrl& url, QString* error = nullptr) override
    {
        Call c;
        c.viaUrl = true;
        c.url = url;
        calls << c;
        if (!result && error)
            *error = QStringLiteral("refused by the test");
        return result;
    }
};

// Puts a launcher in place of the process's for the lifetime of the guard.
class LauncherOverride {
public:
    explicit LauncherOverride(Launcher* l) { setLauncherOverride(l); }
    ~LauncherOverride() { setLauncherOverride(nullptr); }
    LauncherOverride(const LauncherOverride&) = delete;
    LauncherOverride& operator=(const LauncherOverride&) = delete;
};

} // namespace testsupport
