#pragma once

// A window, a network manager and a PanelUpdater whose hooks record what
// the updater asks of the window, against the stand-in service.
#include "standin.h"
#include "updater/panelupdater.h"
#include "updater/updatemanifest.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <memory>

struct UpdaterHarness {
    QWidget window;
    QNetworkAccessManager nam;
    QList<std::pair<QString, int>> toasts;
    int noticeStops = 0;
    int noticeResumes = 0;
    int endCalls = 0;
    std::function<void()> onEnd;
    std::unique_ptr<PanelUpdater> updater;

    explicit UpdaterHarness(const QString& localVersion = QStringLiteral("1.0.251"))
    {
        PanelUpdater::Hooks h;
        h.network = [this] { return &nam; };
        h.toast = [this](const QString& text, int kind) { toasts.append({text, kind}); };
        h.stopNoticePoll = [this] { ++noticeStops; };
        h.resumeNoticePoll = [this] { ++noticeResumes; };
        h.endProcess = [this] {
            ++endCalls;
            if (onEnd)
                onEnd();
        };
        updater = std::make_unique<PanelUpdater>(&window, h);
        updater->setLocalVersion(localVersion);
    }
    ~UpdaterHarness() { updater.reset(); }

    // Every request of the updater has been answered and handled.
    bool settle(int timeoutMs = 20000)
    {
        return QTest::qWaitFor([this] { return nam.findChildren<QNetworkReply*>().isEmpty(); }, timeoutMs);
    }
};

namespace updatertest {

inline QJsonObject manifestFields(const QString& version, const QString& url = QStringLiteral("https://example.invalid/setup.bin"),
                                  const QString& sha = QString(64, QLatin1Char('a')), qint64 size = 4096)
{
    return QJsonObject{{QStringLiteral("time"), QStringLiteral("2024-05-01 10:00:00")},
                       {QStringLiteral("url"), url},
                       {QStringLiteral("size"), size},
                       {QStringLiteral("sha256"), sha},
                       {QStringLiteral("version"), version},
                       {QStringLiteral("notes"), QStringLiteral("manifest notes")},
                       {QStringLiteral("title"), QString()}};
}

// Publishes a manifest on a channel ("panel" or "panel-beta"), signed by
// the service's key unless `extra` says otherwise.
inline QString publish(testsupport::StandInService& svc, const QString& channel, const QJsonObject& fields,
                       QJsonObject extra = QJsonObject())
{
    extra.insert(QStringLiteral("channel"), channel);
    extra.insert(QStringLiteral("fields"), fields);
    const QJsonObject r = svc.control(QStringLiteral("update.manifest"), extra);
    return r.value(QStringLiteral("error")).toString();
}

// Makes the updater trust the service's signing key.
inline bool trustServiceKey(testsupport::StandInService& svc)
{
    const QJsonObject k = svc.control(QStringLiteral("update.keys"));
    const QString x = k.value(QStringLiteral("x")).toString();
    const QString y = k.value(QStringLiteral("y")).toString();
    setUpdatePublicKeyOverride(x, y);
    return x.size() == 64 && y.size() == 64;
}

} // namespace updatertest
