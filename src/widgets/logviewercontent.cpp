#include "widgets/logviewercontent.h"

#include "app/lang.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QSysInfo>

QString findLogFile(const QString& logRoot)
{
    if (logRoot.isEmpty())
        return QString();
    const QString today = logRoot + QLatin1Char('/') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("/app.log");
    if (QFileInfo::exists(today))
        return today;
    const QFileInfoList days = QDir(logRoot).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QFileInfo& day : days) {
        const QString candidate = day.absoluteFilePath() + QStringLiteral("/app.log");
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return today;
}

QString readLogTail(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const qint64 size = file.size();
    QByteArray bytes;
    bool truncated = false;
    if (size <= kLogTailBytes) {
        bytes = file.readAll();
    } else {
        if (!file.seek(size - kLogTailBytes))
            return QString();
        bytes = file.readAll();
        const qsizetype nl = bytes.indexOf('\n');
        bytes.remove(0, nl < 0 ? bytes.size() : nl + 1);
        truncated = true;
    }
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    } else {
        // Lines of old builds or of other tools may be in the local code.
        const QList<QByteArray> lines = bytes.split('\n');
        QStringList decoded;
        decoded.reserve(lines.size());
        for (const QByteArray& line : lines) {
            QString s = QString::fromUtf8(line);
            if (s.contains(QChar::ReplacementCharacter))
                s = QString::fromLocal8Bit(line);
            decoded << s;
        }
        text = decoded.join(QLatin1Char('\n'));
    }
    if (truncated)
        text.prepend(translate("（日志较大，仅显示最近 8 MB）") + QStringLiteral("\n\n"));
    return text;
}

QString readLogContent(const QString& logFile)
{
    if (logFile.isEmpty())
        return translate("(暂无日志文件)\n");
    const QString previous = QFileInfo(logFile).absolutePath() + QStringLiteral("/app.1.log");
    QString text;
    if (QFileInfo::exists(previous))
        text = readLogTail(previous) + QLatin1Char('\n');
    return text + readLogTail(logFile);
}

QString systemVersionText()
{
    return QStringLiteral("%1 · %2 %3 (%4)")
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture());
}

QString logHeaderText(const LogHeaderFacts& f)
{
    const auto n = [](const QString& path) { return QDir::toNativeSeparators(path); };
    QString text;
    text += translate("日志文件: %1\n").arg(n(f.logFile));
    text += translate("命令行: %1\n").arg(f.commandLine);
    text += translate("可执行文件: %1\n").arg(n(f.executable));
    text += translate("工作目录: %1\n").arg(n(f.workingDir));
    text += translate("数据目录: %1\n").arg(n(f.dataDir));
    text += translate("设置文件: %1\n").arg(n(f.dataDir + QStringLiteral("/settings.json")));
    text += translate("日志根目录: %1\n").arg(n(f.logRoot));
    text += translate("程序版本: v%1\n").arg(f.version);
    text += translate("系统版本: %1\n").arg(f.system);
    text += translate("Qt 版本: %1\n").arg(f.qtVersion);
    text += translate("屏幕: %1 (DPR %2)\n").arg(f.screenName).arg(f.devicePixelRatio);
    text += QString(56, QChar(0x2500)) + QStringLiteral("\n\n");
    return text;
}
