#include "app/buildinfo.h"

#include <QDate>
#include <QLocale>
#include <QStringList>

#include <algorithm>

#ifndef QY_FILE_VERSION
#define QY_FILE_VERSION ""
#endif
#ifndef QY_PUBLISHER
#define QY_PUBLISHER ""
#endif

QString formatFileVersion(const QString& fourPartVersion)
{
    const QString zero = QStringLiteral("0.0.0");
    const QString text = fourPartVersion.trimmed();
    if (text.isEmpty())
        return zero;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() > 4)
        return zero;
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        // A file version holds four 16-bit words; toUInt alone would also
        // take signs and blanks.
        if (part.isEmpty() || part.size() > 5
            || !std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return zero;
        const uint value = part.toUInt();
        if (value > 0xFFFF)
            return zero;
        if (i < 3)
            numbers[i] = int(value);
    }
    return QStringLiteral("%1.%2.%3").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]);
}

QString formatBuildDate(const QString& compilerDate)
{
    const QString text = compilerDate.simplified();
    const QDate date = QLocale::c().toDate(text, QStringLiteral("MMM d yyyy"));
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : text;
}

QString fileVersionString() { return formatFileVersion(QStringLiteral(QY_FILE_VERSION)); }

QString buildDateString() { return formatBuildDate(QStringLiteral(__DATE__)); }

QString publisherCredit() { return QStringLiteral(QY_PUBLISHER); }
