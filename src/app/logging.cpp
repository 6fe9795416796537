#include "app/logging.h"

#include "platform/process.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

QString g_logRoot;
bool g_verbose = false;
QMutex g_writeLock;
QTimer* g_pruneTimer = nullptr;

constexpr int kPruneIntervalMs = 6 * 60 * 60 * 1000;
constexpr int kKeepDays = 7;

const char* levelText(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "DEBUG";
    case QtInfoMsg: return "INFO ";
    case QtWarningMsg: return "WARN ";
    case QtCriticalMsg: return "ERROR";
    case QtFatalMsg: return "FATAL";
    }
    return "INFO ";
}

void reportToStderr(const char* what, const QString& path)
{
    std::fprintf(stderr, "[TarnavelPanel] %s: %s\n", what, path.toLocal8Bit().constData());
}

} // namespace

QByteArray formatLogLine(QtMsgType type, const char* category, const QString& text, const QDateTime& when)
{
    QByteArray line = when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toUtf8();
    line += " [";
    line += levelText(type);
    line += "] ";
    if (category && *category) {
        line += '[';
        line += category;
        line += "] ";
    }
    line += text.toUtf8();
    line += '\n';
    return line;
}

QString logRoot()
{
    QMutexLocker lock(&g_writeLock);
    return g_logRoot;
}

void initLogging(const QString& dataRoot)
{
    const QString root = dataRoot + QStringLiteral("/logs");
    if (!QDir().mkpath(root))
        reportToStderr("log root mkdir failed", root);
    {
        QMutexLocker lock(&g_writeLock);
        g_logRoot = root;
    }
    pruneOldLogs();

    const QByteArray verbose = qgetenv("KRV_VERBOSE");
    g_verbose = verbose == "1" || verbose == "2";
    if (g_verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true\n*.info=true\n*.warning=true\n*.critical=true\n"));
    else
        QLoggingCategory::setFilterRules(QStringLiteral(
            "*.debug=false\n*.info=true\n*.warning=true\n*.critical=true\nqt.*.debug=false\nqt.*.info=false\n"));

    qInstallMessageHandler(logMessageHandler);

    if (!g_pruneTimer)
        g_pruneTimer = new QTimer;
    QObject::disconnect(g_pruneTimer, nullptr, nullptr, nullptr);
    QObject::connect(g_pruneTimer, &QTimer::timeout, g_pruneTimer, &pruneOldLogs);
    g_pruneTimer->setInterval(kPruneIntervalMs);
    g_pruneTimer->start();
}

void pruneOldLogs()
{
    const QString root = logRoot();
    if (root.isEmpty())
        return;
    const QDate cutoff = QDate::currentDate().addDays(-kKeepDays);
    const QStringList names = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
    for (const QString& name : names) {
        const QDate day = QDate::fromString(name, QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid() || day >= cutoff)
            continue;
        const QString path = root + QLatin1Char('/') + name;
        if (!QDir(path).removeRecursively())
            reportToStderr("log prune failed", path);
    }
}

void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const char* category = context.category ? context.category : "";
    if (!g_verbose && (type == QtDebugMsg || type == QtInfoMsg) && std::strncmp(category, "qt.", 3) == 0)
        return;

    const QByteArray line = formatLogLine(type, category, text, QDateTime::currentDateTime());

    QMutexLocker lock(&g_writeLock);
    if (g_logRoot.isEmpty())
        return;
    const QString dayDir = g_logRoot + QLatin1Char('/') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (!QFileInfo(dayDir).isDir() && !QDir().mkpath(dayDir)) {
        reportToStderr("log mkdir failed", dayDir);
        return;
    }
    const QString current = dayDir + QStringLiteral("/app.log");
    const QFileInfo info(current);
    if (info.exists() && info.size() > kLogRotateBytes) {
        // One atomic replace: should it fail, the older part stays as it was
        // and the line goes on the end of the current file.
        if (!renameReplacing(current, dayDir + QStringLiteral("/app.1.log")))
            reportToStderr("log rotate failed", current);
    }
    switch (appendToFile(current, line)) {
    case AppendResult::Ok:
        break;
    case AppendResult::OpenFailed:
        reportToStderr("log open failed", current);
        break;
    case AppendResult::ShortWrite:
        reportToStderr("log write failed", current);
        break;
    }
}
