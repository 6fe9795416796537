#include "panel/layoutcodec.h"

#include <cstring>

namespace {

// ---------------------------------------------------------------- writing

inline char hexDigit(unsigned v)
{
    return char(v < 10 ? '0' + v : 'a' + v - 10);
}

// Same escaping as the JSON writer of Qt: quote, backslash and control
// characters escaped, everything else as UTF-8, unpaired surrogates as \uXXXX.
void appendString(QByteArray& out, const QString& s)
{
    out.append('"');
    const char16_t* src = reinterpret_cast<const char16_t*>(s.constData());
    const char16_t* const end = src + s.size();
    while (src < end) {
        const char16_t* run = src;
        while (src < end && *src >= 0x20 && *src < 0x80 && *src != '"' && *src != '\\')
            ++src;
        if (src > run) {
            const qsizetype n = src - run;
            const qsizetype at = out.size();
            out.resize(at + n);
            char* d = out.data() + at;
            for (qsizetype i = 0; i < n; ++i)
                d[i] = char(run[i]);
        }
        if (src == end)
            break;
        const char16_t u = *src++;
        if (u < 0x80) {
            out.append('\\');
            switch (u) {
            case '"': out.append('"'); break;
            case '\\': out.append('\\'); break;
            case 0x08: out.append('b'); break;
            case 0x0c: out.append('f'); break;
            case 0x0a: out.append('n'); break;
            case 0x0d: out.append('r'); break;
            case 0x09: out.append('t'); break;
            default:
                out.append("u00", 3);
                out.append(hexDigit(u >> 4));
                out.append(hexDigit(u & 0xf));
            }
        } else if (u < 0x800) {
            const char b[2] = { char(0xc0 | (u >> 6)), char(0x80 | (u & 0x3f)) };
            out.append(b, 2);
        } else if (QChar::isHighSurrogate(u) && src < end && QChar::isLowSurrogate(*src)) {
            const char32_t c = QChar::surrogateToUcs4(u, *src++);
            const char b[4] = { char(0xf0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3f)),
                                char(0x80 | ((c >> 6) & 0x3f)), char(0x80 | (c & 0x3f)) };
            out.append(b, 4);
        } else if (QChar::isSurrogate(u)) {
            const char b[6] = { '\\', 'u', hexDigit(u >> 12), hexDigit((u >> 8) & 0xf),
                                hexDigit((u >> 4) & 0xf), hexDigit(u & 0xf) };
            out.append(b, 6);
        } else {
            const char b[3] = { char(0xe0 | (u >> 12)), char(0x80 | ((u >> 6) & 0x3f)),
                                char(0x80 | (u & 0x3f)) };
            out.append(b, 3);
        }
    }
    out.append('"');
}

void appendKey(QByteArray& out, int indent, const char* key)
{
    out.append(indent * 4, ' ');
    out.append('"');
    out.append(key);
    out.append("\": ", 3);
}

// ---------------------------------------------------------------- reading

enum ItemKey { KArgs, KCustomIcon, KHidden, KName, KPath, KRunAsAdmin, KWorkDir, KOther };

class FastReader {
public:
    FastReader(const char* begin, const char* end) : p(begin), e(end) {}

    bool document(QList<PanelGroup>* out)
    {
        skipBlanks();
        if (!consume('{'))
            return false;
        bool sawGroups = false;
        if (!objectBody(1, [&](const char* k, qsizetype n) {
                if (!keyIs(k, n, "groups") || sawGroups)
                    return false;
                sawGroups = true;
                return peek() == '[' && groupArray(out);
            }))
            return false;
        skipBlanks();
        return p == e;
    }

private:
    const char* p;
    const char* e;

    static constexpr int kMaxDepth = 48;

    char peek()
    {
        skipBlanks();
        return p < e ? *p : '\0';
    }
    void skipBlanks()
    {
        while (p < e && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
            ++p;
    }
    bool consume(char c)
    {
        skipBlanks();
        if (p < e && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
    static bool keyIs(const char* k, qsizetype n, const char* want)
    {
        return qsizetype(std::strlen(want)) == n && std::memcmp(k, want, size_t(n)) == 0;
    }

    // Calls member(key, length) with p just past the colon, for each member.
    template <typename F>
    bool objectBody(int depth, F member)
    {
        if (depth > kMaxDepth)
            return false;
        if (consume('}'))
            return true;
        for (;;) {
            skipBlanks();
            const char* k = nullptr;
            qsizetype n = 0;
            if (!rawKey(&k, &n) || !consume(':') || !member(k, n))
                return false;
            if (consume(','))
                continue;
            return consume('}');
        }
    }

    template <typename F>
    bool arrayBody(int depth, F element)
    {
        if (depth > kMaxDepth || !consume('['))
            return false;
        if (consume(']'))
            return true;
        for (;;) {
            if (!element())
                return false;
            if (consume(','))
                continue;
            return consume(']');
        }
    }

    // A key without escapes; its bytes must be well-formed UTF-8.
    bool rawKey(const char** k, qsizetype* n)
    {
        if (p >= e || *p != '"')
            return false;
        const char* start = ++p;
        while (p < e && *p != '"') {
            const uchar c = uchar(*p);
            if (c == '\\' || c < 0x20)
                return false;
            if (c < 0x80)
                ++p;
            else if (!utf8Sequence())
                return false;
        }
        if (p >= e)
            return false;
        *k = start;
        *n = p - start;
        ++p;
        return true;
    }

    // Validates one multi-byte UTF-8 sequence at p and steps over it.
    // Noncharacters are refused too: the general parser decides about them.
    bool utf8Sequence()
    {
        const uchar c = uchar(*p);
        int len;
        uchar lo = 0x80, hi = 0xbf;
        if (c >= 0xc2 && c <= 0xdf) len = 2;
        else if (c == 0xe0) { len = 3; lo = 0xa0; }
        else if (c >= 0xe1 && c <= 0xec) len = 3;
        else if (c == 0xed) { len = 3; hi = 0x9f; }
        else if (c >= 0xee && c <= 0xef) len = 3;
        else if (c == 0xf0) { len = 4; lo = 0x90; }
        else if (c >= 0xf1 && c <= 0xf3) len = 4;
        else if (c == 0xf4) { len = 4; hi = 0x8f; }
        else return false;
        if (e - p < len)
            return false;
        const uchar c1 = uchar(p[1]);
        if (c1 < lo || c1 > hi)
            return false;
        for (int i = 2; i < len; ++i)
            if ((uchar(p[i]) & 0xc0) != 0x80)
                return false;
        const uchar last = uchar(p[len - 1]);
        const uchar prev = uchar(p[len - 2]);
        if (prev == 0xbf && (last == 0xbe || last == 0xbf) && (len == 4 || c == 0xef))
            return false; // U+xFFFE, U+xFFFF
        if (c == 0xef && c1 == 0xb7 && uchar(p[2]) >= 0x90 && uchar(p[2]) <= 0xaf)
            return false; // U+FDD0..U+FDEF
        p += len;
        return true;
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    bool hex4(char16_t* out)
    {
        if (e - p < 4)
            return false;
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = hexValue(p[i]);
            if (h < 0)
                return false;
            v = (v << 4) | unsigned(h);
        }
        p += 4;
        *out = char16_t(v);
        return true;
    }

    // A string value at p; decoded into *out unless out is null.
    bool string(QString* out)
    {
        if (!consume('"'))
            return false;
        const char* chunk = p;
        bool escaped = false;
        for (;;) {
            if (p >= e)
                return false;
            const uchar c = uchar(*p);
            if (c == '"')
                break;
            if (c < 0x20)
                return false;
            if (c < 0x80 && c != '\\') {
                ++p;
                continue;
            }
            if (c >= 0x80) {
                if (!utf8Sequence())
                    return false;
                continue;
            }
            // An escape: flush the plain run before it.
            if (out) {
                if (!escaped)
                    out->clear();
                out->append(QString::fromUtf8(chunk, p - chunk));
            }
            escaped = true;
            if (++p >= e)
                return false;
            char16_t ch;
            switch (*p++) {
            case '"': ch = u'"'; break;
            case '\\': ch = u'\\'; break;
            case '/': ch = u'/'; break;
            case 'b': ch = u'\b'; break;
            case 'f': ch = u'\f'; break;
            case 'n': ch = u'\n'; break;
            case 'r': ch = u'\r'; break;
            case 't': ch = u'\t'; break;
            case 'u': {
                if (!hex4(&ch) || ch == 0 || QChar::isLowSurrogate(ch))
                    return false;
                if (QChar::isHighSurrogate(ch)) {
                    char16_t low;
                    if (e - p < 6 || p[0] != '\\' || p[1] != 'u')
                        return false;
                    p += 2;
                    if (!hex4(&low) || !QChar::isLowSurrogate(low))
                        return false;
                    if (out) {
                        out->append(QChar(ch));
                        out->append(QChar(low));
                    }
                    chunk = p;
                    continue;
                }
                break;
            }
            default:
                return false;
            }
            if (out)
                out->append(QChar(ch));
            chunk = p;
        }
        if (out) {
            if (escaped)
                out->append(QString::fromUtf8(chunk, p - chunk));
            else
                *out = QString::fromUtf8(chunk, p - chunk);
        }
        ++p;
        return true;
    }

    bool literal(const char* word)
    {
        const qsizetype n = qsizetype(std::strlen(word));
        if (e - p < n || std::memcmp(p, word, size_t(n)) != 0)
            return false;
        p += n;
        return true;
    }

    // Values of the wrong type are refused, like unknown keys: the general
    // parser then tells the caller what the lenient load dropped.
    bool textValue(QString* out)
    {
        return peek() == '"' && string(out);
    }

    bool boolValue(bool* out)
    {
        const char c = peek();
        if (c != 't' && c != 'f')
            return false;
        *out = c == 't';
        return literal(c == 't' ? "true" : "false");
    }

    static ItemKey itemKey(const char* k, qsizetype n)
    {
        switch (n) {
        case 4:
            if (keyIs(k, n, "args")) return KArgs;
            if (keyIs(k, n, "name")) return KName;
            if (keyIs(k, n, "path")) return KPath;
            break;
        case 6:
            if (keyIs(k, n, "hidden")) return KHidden;
            break;
        case 7:
            if (keyIs(k, n, "workDir")) return KWorkDir;
            break;
        case 10:
            if (keyIs(k, n, "customIcon")) return KCustomIcon;
            if (keyIs(k, n, "runAsAdmin")) return KRunAsAdmin;
            break;
        }
        return KOther;
    }

    bool item(QList<PanelItem>* items)
    {
        const int depth = 5;
        if (peek() != '{')
            return false;
        ++p;
        PanelItem it;
        unsigned seen = 0;
        if (!objectBody(depth, [&](const char* k, qsizetype n) {
                const ItemKey key = itemKey(k, n);
                if (key == KOther || (seen & (1u << key)))
                    return false;
                seen |= 1u << key;
                switch (key) {
                case KArgs: return textValue(&it.args);
                case KCustomIcon: return textValue(&it.customIcon);
                case KHidden: return boolValue(&it.hidden);
                case KName: return textValue(&it.name);
                case KPath: return textValue(&it.path);
                case KRunAsAdmin: return boolValue(&it.runAsAdmin);
                case KWorkDir: return textValue(&it.workDir);
                case KOther: break;
                }
                return false;
            }))
            return false;
        // An item without a path would be dropped.
        if (it.path.isEmpty())
            return false;
        items->append(std::move(it));
        return true;
    }

    bool group(QList<PanelGroup>* out)
    {
        const int depth = 3;
        PanelGroup g;
        if (peek() != '{')
            return false;
        ++p;
        bool sawName = false, sawItems = false;
        if (!objectBody(depth, [&](const char* k, qsizetype n) {
                if (keyIs(k, n, "name")) {
                    if (sawName)
                        return false;
                    sawName = true;
                    return textValue(&g.name);
                }
                if (keyIs(k, n, "items")) {
                    if (sawItems)
                        return false;
                    sawItems = true;
                    return peek() == '[' && arrayBody(depth + 1, [&] { return item(&g.items); });
                }
                return false;
            }))
            return false;
        out->append(std::move(g));
        return true;
    }

    bool groupArray(QList<PanelGroup>* out)
    {
        return arrayBody(2, [&] { return group(out); });
    }
};

} // namespace

QByteArray writeLayoutJson(const QList<PanelGroup>& groups)
{
    qsizetype estimate = 64;
    for (const PanelGroup& g : groups) {
        estimate += 96 + g.name.size() * 3;
        for (const PanelItem& it : g.items)
            estimate += 300 + (it.path.size() + it.name.size() + it.customIcon.size()
                               + it.workDir.size() + it.args.size()) * 3;
    }
    QByteArray out;
    out.reserve(estimate);
    out.append("{\n");
    appendKey(out, 1, "groups");
    out.append("[\n");
    for (qsizetype gi = 0; gi < groups.size(); ++gi) {
        const PanelGroup& g = groups[gi];
        out.append(8, ' ');
        out.append("{\n");
        appendKey(out, 3, "items");
        out.append("[\n");
        for (qsizetype ii = 0; ii < g.items.size(); ++ii) {
            const PanelItem& it = g.items[ii];
            out.append(16, ' ');
            out.append("{\n");
            appendKey(out, 5, "args");
            appendString(out, it.args);
            out.append(",\n");
            appendKey(out, 5, "customIcon");
            appendString(out, it.customIcon);
            out.append(",\n");
            appendKey(out, 5, "hidden");
            out.append(it.hidden ? "true,\n" : "false,\n");
            appendKey(out, 5, "name");
            appendString(out, it.name);
            out.append(",\n");
            appendKey(out, 5, "path");
            appendString(out, it.path);
            out.append(",\n");
            appendKey(out, 5, "runAsAdmin");
            out.append(it.runAsAdmin ? "true,\n" : "false,\n");
            appendKey(out, 5, "workDir");
            appendString(out, it.workDir);
            out.append('\n');
            out.append(16, ' ');
            out.append(ii + 1 < g.items.size() ? "},\n" : "}\n");
        }
        out.append(12, ' ');
        out.append("],\n");
        appendKey(out, 3, "name");
        appendString(out, g.name);
        out.append('\n');
        out.append(8, ' ');
        out.append(gi + 1 < groups.size() ? "},\n" : "}\n");
    }
    out.append(4, ' ');
    out.append("]\n}\n");
    return out;
}

bool readLayoutJsonFast(const QByteArray& bytes, QList<PanelGroup>* out)
{
    out->clear();
    FastReader reader(bytes.constData(), bytes.constData() + bytes.size());
    return reader.document(out);
}
