#include "panel/layoutfile.h"

#include "app/appsettings.h"
#include "app/configsafety.h"
#include "panel/layoutcodec.h"
#include "platform/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

namespace {

// Reads the values of one object and notes the first thing the lenient
// rules drop. A null carries nothing, so dropping one loses nothing.
class LenientReader {
public:
    explicit LenientReader(QString* loss) : m_loss(loss) {}

    void dropped(const QString& what)
    {
        if (m_loss && m_loss->isEmpty())
            *m_loss = what;
    }

    QString text(const QJsonObject& o, QLatin1String key)
    {
        const QJsonValue v = o.value(key);
        if (!v.isString() && !v.isUndefined() && !v.isNull())
            dropped(QStringLiteral("\"%1\" is not a text").arg(key));
        return v.toString();
    }

    bool flag(const QJsonObject& o, QLatin1String key)
    {
        const QJsonValue v = o.value(key);
        if (!v.isBool() && !v.isUndefined() && !v.isNull())
            dropped(QStringLiteral("\"%1\" is not true or false").arg(key));
        return v.toBool(false);
    }

    QJsonArray array(const QJsonObject& o, QLatin1String key)
    {
        const QJsonValue v = o.value(key);
        if (!v.isArray() && !v.isUndefined() && !v.isNull())
            dropped(QStringLiteral("\"%1\" is not a list").arg(key));
        return v.toArray();
    }

    QJsonObject object(const QJsonValue& v, const QString& what)
    {
        if (!v.isObject() && !v.isNull())
            dropped(what + QStringLiteral(" is not an object"));
        return v.toObject();
    }

    void unknownKeys(const QJsonObject& o, std::initializer_list<const char*> known)
    {
        if (!m_loss || !m_loss->isEmpty())
            return;
        for (auto it = o.begin(); it != o.end(); ++it) {
            bool isKnown = false;
            for (const char* k : known)
                isKnown = isKnown || it.key() == QLatin1String(k);
            if (!isKnown && !it.value().isNull()) {
                dropped(QStringLiteral("unknown key \"%1\"").arg(it.key()));
                return;
            }
        }
    }

private:
    QString* m_loss;
};

} // namespace

QString limitGroupName(const QString& name)
{
    return cutToUtf16Units(name, kMaxGroupNameUnits);
}

QJsonObject layoutToJson(const QList<PanelGroup>& groups)
{
    QJsonArray groupArray;
    for (const PanelGroup& g : groups) {
        QJsonArray items;
        for (const PanelItem& it : g.items) {
            QJsonObject o;
            o.insert(QLatin1String("path"), it.path);
            o.insert(QLatin1String("name"), it.name);
            o.insert(QLatin1String("hidden"), it.hidden);
            o.insert(QLatin1String("customIcon"), it.customIcon);
            o.insert(QLatin1String("workDir"), it.workDir);
            o.insert(QLatin1String("args"), it.args);
            o.insert(QLatin1String("runAsAdmin"), it.runAsAdmin);
            items.append(o);
        }
        QJsonObject go;
        go.insert(QLatin1String("name"), g.name);
        go.insert(QLatin1String("items"), items);
        groupArray.append(go);
    }
    QJsonObject root;
    root.insert(QLatin1String("groups"), groupArray);
    return root;
}

QList<PanelGroup> layoutFromJson(const QJsonObject& root, const QString& fallbackGroupName, QString* loss)
{
    LenientReader read(loss);
    read.unknownKeys(root, {"groups"});
    QList<PanelGroup> groups;
    const QJsonArray groupArray = read.array(root, QLatin1String("groups"));
    groups.reserve(groupArray.size());
    for (const QJsonValue& gv : groupArray) {
        const QJsonObject go = read.object(gv, QStringLiteral("a group"));
        read.unknownKeys(go, {"name", "items"});
        PanelGroup g;
        const QString name = read.text(go, QLatin1String("name"));
        g.name = limitGroupName(name);
        if (g.name.size() != name.size())
            read.dropped(QStringLiteral("a group name longer than %1").arg(kMaxGroupNameUnits));
        const QJsonArray items = read.array(go, QLatin1String("items"));
        g.items.reserve(items.size());
        for (const QJsonValue& iv : items) {
            const QJsonObject io = read.object(iv, QStringLiteral("an item"));
            read.unknownKeys(io, {"path", "name", "hidden", "customIcon", "workDir", "args", "runAsAdmin"});
            PanelItem it;
            it.path = read.text(io, QLatin1String("path"));
            if (it.path.isEmpty()) {
                if (!iv.isNull())
                    read.dropped(QStringLiteral("an item without a path"));
                continue;
            }
            it.name = read.text(io, QLatin1String("name"));
            it.hidden = read.flag(io, QLatin1String("hidden"));
            it.customIcon = read.text(io, QLatin1String("customIcon"));
            it.workDir = read.text(io, QLatin1String("workDir"));
            it.args = read.text(io, QLatin1String("args"));
            it.runAsAdmin = read.flag(io, QLatin1String("runAsAdmin"));
            g.items.append(std::move(it));
        }
        groups.append(std::move(g));
    }
    if (groups.isEmpty()) {
        PanelGroup g;
        g.name = fallbackGroupName;
        groups.append(g);
    }
    return groups;
}

QByteArray serializeLayout(const QList<PanelGroup>& groups)
{
    return writeLayoutJson(groups);
}

LayoutRead parseLayout(const QByteArray& bytes, const QString& fallbackGroupName)
{
    LayoutRead r;
    if (bytes.isEmpty()) {
        r.state = LayoutFileState::Empty;
        r.error = QStringLiteral("empty file");
        return r;
    }
    QList<PanelGroup> fast;
    if (readLayoutJsonFast(bytes, &fast)) {
        for (PanelGroup& g : fast) {
            const QString name = limitGroupName(g.name);
            if (name.size() != g.name.size() && !r.partlyRead) {
                r.partlyRead = true;
                r.error = QStringLiteral("a group name longer than %1").arg(kMaxGroupNameUnits);
            }
            g.name = name;
        }
        if (fast.isEmpty()) {
            PanelGroup g;
            g.name = fallbackGroupName;
            fast.append(g);
        }
        r.state = LayoutFileState::Loaded;
        r.groups = std::move(fast);
        if (r.partlyRead)
            r.bytes = bytes;
        return r;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError) {
        r.state = LayoutFileState::Damaged;
        r.error = err.errorString() + QStringLiteral(" at offset ") + QString::number(err.offset);
        return r;
    }
    if (!doc.isObject()) {
        r.state = LayoutFileState::NotObject;
        r.error = QStringLiteral("top level is not an object");
        return r;
    }
    r.state = LayoutFileState::Loaded;
    r.groups = layoutFromJson(doc.object(), fallbackGroupName, &r.error);
    r.partlyRead = !r.error.isEmpty();
    if (r.partlyRead)
        r.bytes = bytes;
    return r;
}

LayoutRead readLayout(QIODevice& device, const QString& fallbackGroupName)
{
    QByteArray bytes;
    char buf[65536];
    for (;;) {
        const qint64 n = device.read(buf, sizeof buf);
        if (n < 0) {
            LayoutRead r;
            r.state = LayoutFileState::Unreadable;
            r.error = device.errorString();
            return r;
        }
        if (n == 0)
            break;
        bytes.append(buf, n);
    }
    return parseLayout(bytes, fallbackGroupName);
}

LayoutRead readLayoutFile(const QString& path, const QString& fallbackGroupName)
{
    RegularFileRead file = readRegularFile(path, kMaxConfigFileBytes);
    LayoutRead r;
    r.error = file.error;
    switch (file.status) {
    case RegularFileRead::Ok:
        return parseLayout(file.bytes, fallbackGroupName);
    case RegularFileRead::Missing:
        r.state = LayoutFileState::Missing;
        break;
    case RegularFileRead::NotRegular:
        r.state = LayoutFileState::NotRegular;
        break;
    case RegularFileRead::TooLarge:
        r.state = LayoutFileState::Damaged;
        break;
    case RegularFileRead::Error:
        r.state = LayoutFileState::Unreadable;
        break;
    }
    return r;
}
