#include "platform/desktopentry.h"

#include <QFile>

namespace {

QString unescapeValue(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    for (int i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar n = raw.at(++i);
        switch (n.unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default:
            // Not a string escape: left for the Exec quoting rules.
            out += c;
            out += n;
            break;
        }
    }
    return out;
}

bool isDroppedFieldCode(QChar c)
{
    return QStringLiteral("fFuUickdDnNvm").contains(c);
}

} // namespace

DesktopEntry parseDesktopEntry(const QByteArray& bytes)
{
    DesktopEntry e;
    bool inMain = false;
    for (const QByteArray& rawLine : bytes.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            if (inMain)
                break;
            inMain = line == "[Desktop Entry]";
            e.valid = e.valid || inMain;
            continue;
        }
        if (!inMain)
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QString value = unescapeValue(QString::fromUtf8(line.mid(eq + 1).trimmed()));
        if (key == "Type")
            e.type = value;
        else if (key == "Name")
            e.name = value;
        else if (key == "Exec")
            e.exec = value;
        else if (key == "Path")
            e.path = value;
        else if (key == "URL")
            e.url = value;
        else if (key == "TryExec")
            e.tryExec = value;
        else if (key == "Terminal")
            e.terminal = value == QLatin1String("true") || value == QLatin1String("1");
        else if (key == "Hidden")
            e.hidden = value == QLatin1String("true");
    }
    return e;
}

bool readDesktopEntryFile(const QString& path, DesktopEntry* entry, QString* error)
{
    *entry = DesktopEntry();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    *entry = parseDesktopEntry(f.read(qint64(1) << 20));
    return true;
}

bool splitDesktopExec(const QString& exec, QStringList* argv, QString* error)
{
    argv->clear();
    QStringList words;
    QString word;
    bool inWord = false;     // a word has begun (it may still turn out empty)
    bool onlyCodes = true;   // the word so far holds nothing but field codes
    bool quoted = false;
    auto finishWord = [&] {
        if (inWord && !(onlyCodes && word.isEmpty()))
            words << word;
        word.clear();
        inWord = false;
        onlyCodes = true;
    };
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size()
                       && QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
                word += exec.at(++i);
            } else {
                word += c;
            }
            onlyCodes = false;
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            finishWord();
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('"')) {
            quoted = true;
            onlyCodes = false;
            continue;
        }
        if (c == QLatin1Char('%')) {
            if (i + 1 >= exec.size()) {
                *error = QStringLiteral("Exec ends with a lone %");
                return false;
            }
            const QChar code = exec.at(++i);
            if (code == QLatin1Char('%')) {
                word += QLatin1Char('%');
                onlyCodes = false;
            } else if (!isDroppedFieldCode(code)) {
                *error = QStringLiteral("unknown field code %") + code;
                return false;
            }
            continue;
        }
        word += c;
        onlyCodes = false;
    }
    if (quoted) {
        *error = QStringLiteral("unterminated quote in Exec");
        return false;
    }
    finishWord();
    if (words.isEmpty() || words.first().isEmpty()) {
        *error = QStringLiteral("Exec names no program");
        return false;
    }
    *argv = words;
    return true;
}
