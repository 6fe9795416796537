#include "panel/layoutfile.h"

#include "app/appsettings.h"
#include "panel/layoutcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

namespace {

QString readText(const QJsonObject& o, QLatin1String key)
{
    return o.value(key).toString();
}

bool readBool(const QJsonObject& o, QLatin1String key)
{
    return o.value(key).toBool(false);
}

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

QList<PanelGroup> layoutFromJson(const QJsonObject& root, const QString& fallbackGroupName)
{
    QList<PanelGroup> groups;
    const QJsonArray groupArray = root.value(QLatin1String("groups")).toArray();
    groups.reserve(groupArray.size());
    for (const QJsonValue& gv : groupArray) {
        const QJsonObject go = gv.toObject();
        PanelGroup g;
        g.name = limitGroupName(readText(go, QLatin1String("name")));
        const QJsonArray items = go.value(QLatin1String("items")).toArray();
        g.items.reserve(items.size());
        for (const QJsonValue& iv : items) {
            const QJsonObject io = iv.toObject();
            PanelItem it;
            it.path = readText(io, QLatin1String("path"));
            if (it.path.isEmpty())
                continue;
            it.name = readText(io, QLatin1String("name"));
            it.hidden = readBool(io, QLatin1String("hidden"));
            it.customIcon = readText(io, QLatin1String("customIcon"));
            it.workDir = readText(io, QLatin1String("workDir"));
            it.args = readText(io, QLatin1String("args"));
            it.runAsAdmin = readBool(io, QLatin1String("runAsAdmin"));
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
        for (PanelGroup& g : fast)
            g.name = limitGroupName(g.name);
        if (fast.isEmpty()) {
            PanelGroup g;
            g.name = fallbackGroupName;
            fast.append(g);
        }
        r.state = LayoutFileState::Loaded;
        r.groups = std::move(fast);
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
    r.groups = layoutFromJson(doc.object(), fallbackGroupName);
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
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        LayoutRead r;
        r.state = LayoutFileState::Missing;
        return r;
    }
    QFile f(path);
    if (info.isDir() || !f.open(QIODevice::ReadOnly)) {
        LayoutRead r;
        r.state = LayoutFileState::Unreadable;
        r.error = info.isDir() ? QStringLiteral("is a folder") : f.errorString();
        return r;
    }
    return readLayout(f, fallbackGroupName);
}
