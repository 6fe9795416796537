#include "platform/filemanager.h"

#include "platform/launcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace FileManager {

namespace {

FileManager::Outcome openParent(const QString& path)
{
    const QString parent = QFileInfo(path).absolutePath();
    QString error;
    if (launcher().openUrl(QUrl::fromLocalFile(parent), &error))
        return Outcome::ParentFolder;
    qWarning() << "show in folder: cannot open" << parent << error;
    return Outcome::Failed;
}

} // namespace

void showItem(const QString& path, QObject* context, std::function<void(Outcome)> done, int timeoutMs)
{
    if (!context)
        return;
    QPointer<QObject> guard(context);
    auto finish = [guard, done](Outcome o) {
        if (guard && done)
            done(o);
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const Outcome o = openParent(path);
        QTimer::singleShot(0, context, [finish, o] { finish(o); });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, path, finish] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            finish(Outcome::Service);
            return;
        }
        qInfo() << "show in folder: file manager service unavailable:" << reply.error().name()
                << "- opening the parent folder";
        finish(openParent(path));
    });
}

} // namespace FileManager
