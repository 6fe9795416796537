#include "platform/processmemory.h"

#include <QDebug>
#include <QFile>
#include <QList>

#include <algorithm>
#include <limits>

#include <malloc.h>

namespace {

// A status file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxStatusBytes = 256 * 1024;

// Bytes of one "Name:  <number> <unit>" value; empty when malformed.
std::optional<qint64> parseAmount(const QByteArray& value)
{
    const QList<QByteArray> words = value.simplified().split(' ');
    if (words.isEmpty() || words.size() > 2)
        return std::nullopt;
    const QByteArray& digits = words.first();
    if (digits.isEmpty() || digits.size() > 19)
        return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    bool ok = false;
    const qint64 number = digits.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    qint64 unit = 1;
    if (words.size() == 2) {
        const QByteArray u = words.at(1).toLower();
        if (u == "b")
            unit = 1;
        else if (u == "kb")
            unit = qint64(1) << 10;
        else if (u == "mb")
            unit = qint64(1) << 20;
        else if (u == "gb")
            unit = qint64(1) << 30;
        else
            return std::nullopt;
    }
    if (number > std::numeric_limits<qint64>::max() / unit)
        return std::nullopt;
    return number * unit;
}

class LinuxProcessMemory : public ProcessMemory {
public:
    std::optional<ProcessMemoryFigures> figures() override
    {
        QFile file(QStringLiteral("/proc/self/status"));
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning().noquote() << "processMemory: cannot open /proc/self/status:" << file.errorString();
            return std::nullopt;
        }
        // The file reports a size of 0: it is read up to a cap, not by its size.
        const QByteArray text = file.read(kMaxStatusBytes);
        return parseProcStatusMemory(text);
    }

    void trim() override { malloc_trim(0); }
};

ProcessMemory*& overridden()
{
    static ProcessMemory* instance = nullptr;
    return instance;
}

} // namespace

std::optional<ProcessMemoryFigures> parseProcStatusMemory(const QByteArray& statusText)
{
    std::optional<qint64> rss;
    std::optional<qint64> hwm;
    bool rssSeen = false;
    bool hwmSeen = false;
    for (const QByteArray& line : statusText.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon);
        // A field named twice is a damaged text, not a newer value.
        if (name == "VmRSS") {
            if (rssSeen)
                return std::nullopt;
            rssSeen = true;
            rss = parseAmount(line.mid(colon + 1));
        } else if (name == "VmHWM") {
            if (hwmSeen)
                return std::nullopt;
            hwmSeen = true;
            hwm = parseAmount(line.mid(colon + 1));
        }
    }
    if (!rss || !hwm)
        return std::nullopt;
    ProcessMemoryFigures f;
    f.workingSetBytes = *rss;
    // The peak is sampled apart from the current figure; never show a peak
    // below what is resident now.
    f.peakWorkingSetBytes = std::max(*hwm, *rss);
    return f;
}

ProcessMemory& processMemory()
{
    if (ProcessMemory* o = overridden())
        return *o;
    static LinuxProcessMemory instance;
    return instance;
}

void setProcessMemoryOverride(ProcessMemory* override) { overridden() = override; }
