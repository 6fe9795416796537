#include "platform/launcher.h"

#include "platform/launcherplan.h"

#include <QDebug>
#include <QProcess>

namespace {

const char* verbName(Launcher::Verb verb)
{
    return verb == Launcher::Verb::RunAs ? "runas" : "open";
}

class SystemLauncher : public Launcher {
public:
    bool launch(const Request& request, QString* error) override
    {
        const LaunchPlan plan = planLaunch(request, LaunchTools::system());
        if (!plan.ok)
            return fail(request, plan.error, error);
        const LaunchCommand& c = plan.command;
        qint64 pid = 0;
        if (!QProcess::startDetached(c.program, c.arguments, c.workDir, &pid))
            return fail(request, QStringLiteral("could not start ") + c.program, error);
        qInfo() << "launch:" << verbName(request.verb) << request.target << "started" << c.program
                << c.arguments << "pid =" << pid;
        return true;
    }

    bool openUrl(const QUrl& url, QString* error) override
    {
        Request request;
        request.target = url.isLocalFile() ? url.toLocalFile() : url.toString();
        return launch(request, error);
    }

private:
    static bool fail(const Request& request, const QString& why, QString* error)
    {
        qWarning() << "launch:" << verbName(request.verb) << request.target << "failed:" << why;
        if (error)
            *error = why;
        return false;
    }
};

Launcher* g_override = nullptr;

} // namespace

Launcher& launcher()
{
    if (g_override)
        return *g_override;
    static SystemLauncher instance;
    return instance;
}

void setLauncherOverride(Launcher* override)
{
    g_override = override;
}
