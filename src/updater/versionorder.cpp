#include "updater/versionorder.h"

#include <QStringList>

#include <climits>

namespace {

constexpr int kMaxVersionParts = 8;

struct Part {
    int number = 0;
    QString suffix;
};

Part splitPart(const QString& text)
{
    Part p;
    qint64 value = 0;
    int i = 0;
    for (; i < text.size() && text.at(i).isDigit(); ++i) {
        // Digits of other scripts count with their own value.
        value = qMin<qint64>(value * 10 + text.at(i).digitValue(), INT_MAX);
    }
    p.number = int(value);
    if (i > 0 && i < text.size() && text.at(i) == QLatin1Char('-'))
        ++i;
    p.suffix = text.mid(i);
    return p;
}

bool isAllDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

// Value of a run of digits, saturating; only compared with another one.
quint64 digitsValue(const QString& s)
{
    quint64 v = 0;
    for (QChar c : s) {
        const quint64 d = quint64(c.digitValue());
        v = v > (ULLONG_MAX - d) / 10 ? ULLONG_MAX : v * 10 + d;
    }
    return v;
}

// -1: a first, 1: b first, 0: no decision.
int compareSuffixes(const QString& a, const QString& b)
{
    const QStringList pa = a.split(QLatin1Char('.'));
    const QStringList pb = b.split(QLatin1Char('.'));
    for (int i = 0;; ++i) {
        const bool aDone = i >= pa.size();
        const bool bDone = i >= pb.size();
        if (aDone && bDone)
            return 0;
        if (aDone)
            return -1;
        if (bDone)
            return 1;
        const QString& x = pa.at(i);
        const QString& y = pb.at(i);
        if (x == y)
            continue;
        const bool xNum = isAllDigits(x);
        const bool yNum = isAllDigits(y);
        if (xNum && yNum) {
            // The same value written differently ("01", "1") decides too,
            // with a after b.
            return digitsValue(x) < digitsValue(y) ? -1 : 1;
        }
        if (xNum)
            return -1;
        if (yNum)
            return 1;
        return x.compare(y, Qt::CaseSensitive) < 0 ? -1 : 1;
    }
}

bool isWellFormedPart(const QString& part)
{
    if (part.isEmpty() || !part.at(0).isDigit())
        return false;
    for (int i = 1; i < part.size(); ++i) {
        const QChar c = part.at(i);
        if (c == QLatin1Char('-'))
            return true;
        if (!c.isDigit())
            return false;
    }
    return true;
}

bool isWellFormedVersion(const QString& v)
{
    const QStringList parts = v.split(QLatin1Char('.'));
    if (parts.size() < 1 || parts.size() > kMaxVersionParts)
        return false;
    for (const QString& p : parts) {
        if (!isWellFormedPart(p))
            return false;
    }
    return true;
}

} // namespace

bool compareVersions(const QString& a, const QString& b)
{
    const QStringList pa = a.split(QLatin1Char('.'));
    const QStringList pb = b.split(QLatin1Char('.'));
    const int n = int(qMax(pa.size(), pb.size()));
    const QString zero = QStringLiteral("0");
    for (int i = 0; i < n; ++i) {
        const Part x = splitPart(i < pa.size() ? pa.at(i) : zero);
        const Part y = splitPart(i < pb.size() ? pb.at(i) : zero);
        if (x.number != y.number)
            return x.number < y.number;
        const bool xPlain = x.suffix.isEmpty();
        const bool yPlain = y.suffix.isEmpty();
        if (xPlain && yPlain)
            continue;
        if (xPlain != yPlain)
            return !xPlain;
        const int order = compareSuffixes(x.suffix, y.suffix);
        if (order != 0)
            return order < 0;
    }
    return false;
}

bool isRemoteVersionNewer(const QString& remote, const QString& local)
{
    if (!isWellFormedVersion(remote) || !isWellFormedVersion(local))
        return false;
    return compareVersions(local, remote);
}
