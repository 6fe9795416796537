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
        else if (key == "Icon")
            e.icon = value;
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
            } else if (c == QLatin1Char('%') && i + 1 < exec.size() && exec.at(i + 1) == QLatin1Char('%')) {
                // "%%" is a literal percent sign inside quotes too.
                word += QLatin1Char('%');
                ++i;
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

QString escapeDesktopValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case ' ':
            out += i == 0 ? QLatin1String("\\s") : QLatin1String(" ");
            break;
        default: out += c; break;
        }
    }
    return out;
}

QString quoteExecWord(const QString& word)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=");
    bool needsQuotes = word.isEmpty();
    for (QChar c : word)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString out;
    if (needsQuotes)
        out += QLatin1Char('"');
    for (QChar c : word) {
        if (needsQuotes && QStringLiteral("\"`$\\").contains(c))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    if (needsQuotes)
        out += QLatin1Char('"');
    return out;
}

void splitExecProgram(const QString& exec, QString* program, QString* rest)
{
    program->clear();
    int i = 0;
    while (i < exec.size() && exec.at(i).isSpace())
        ++i;
    bool quoted = false;
    for (; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else if (c == QLatin1Char('\\') && i + 1 < exec.size() && QStringLiteral("\"`$\\").contains(exec.at(i + 1)))
                *program += exec.at(++i);
            else
                *program += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c.isSpace()) {
            break;
        } else if (c == QLatin1Char('%') && i + 1 < exec.size() && exec.at(i + 1) == QLatin1Char('%')) {
            *program += QLatin1Char('%');
            ++i;
        } else {
            *program += c;
        }
    }
    while (i < exec.size() && exec.at(i).isSpace())
        ++i;
    *rest = exec.mid(i);
}

QByteArray setDesktopEntryKeys(const QByteArray& bytes, const QList<std::pair<QByteArray, QString>>& keys)
{
    // Lines keep their own ends: split after every '\n'.
    QList<QByteArray> lines;
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype nl = bytes.indexOf('\n', from);
        const qsizetype end = nl < 0 ? bytes.size() : nl + 1;
        lines << bytes.mid(from, end - from);
        from = end;
    }
    auto keyOf = [](const QByteArray& line) -> QByteArray {
        const QByteArray t = line.trimmed();
        const qsizetype eq = t.indexOf('=');
        return eq > 0 ? t.left(eq).trimmed() : QByteArray();
    };
    auto lineFor = [](const QByteArray& key, const QString& value, const QByteArray& eol) -> QByteArray {
        return key + '=' + escapeDesktopValue(value).toUtf8() + eol;
    };

    qsizetype groupStart = -1, groupEnd = -1; // [start, end) of the group's key lines
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray t = lines.at(i).trimmed();
        if (!t.startsWith('['))
            continue;
        if (groupStart >= 0) {
            groupEnd = i;
            break;
        }
        if (t == "[Desktop Entry]")
            groupStart = i + 1;
    }
    QByteArray eol = bytes.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    if (groupStart < 0) {
        lines.prepend(QByteArray("[Desktop Entry]") + eol);
        groupStart = 1;
        groupEnd = 1;
        if (lines.size() > 1 && !lines.at(1).trimmed().isEmpty())
            lines.insert(1, eol);
    } else if (groupEnd < 0) {
        groupEnd = lines.size();
    }
    // New keys go after the group's last non-blank line.
    qsizetype insertAt = groupEnd;
    while (insertAt > groupStart && lines.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    if (insertAt > 0 && !lines.at(insertAt - 1).endsWith('\n'))
        lines[insertAt - 1] += eol;

    for (const auto& [key, value] : keys) {
        bool found = false;
        for (qsizetype i = groupStart; i < insertAt; ++i) {
            if (keyOf(lines.at(i)) != key || lines.at(i).trimmed().startsWith('#'))
                continue;
            if (found || value.isEmpty()) {
                lines.removeAt(i);
                --insertAt;
                --i;
                continue;
            }
            const QByteArray& old = lines.at(i);
            const QByteArray lineEol = old.endsWith("\r\n") ? QByteArray("\r\n") : old.endsWith('\n') ? QByteArray("\n") : QByteArray();
            lines[i] = lineFor(key, value, lineEol);
            found = true;
        }
        if (!found && !value.isEmpty())
            lines.insert(insertAt++, lineFor(key, value, eol));
    }
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l;
    return out;
}
