#include "icons/themeicons.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

namespace {

struct Candidate {
    QString path;
    int size = 0;
    bool scalable = false;
};

struct ThemeIndex {
    QStringList inherits;
    QHash<QString, QList<Candidate>> icons; // icon name -> files
};

// key=value sections of an index.theme file.
QHash<QString, QHash<QString, QString>> readIniSections(const QString& file)
{
    QHash<QString, QHash<QString, QString>> sections;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return sections;
    QString current;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            sections[current].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return sections;
}

QString userConfigDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString chosenThemeFromSettings()
{
    for (const char* gtk : {"/gtk-3.0/settings.ini", "/gtk-4.0/settings.ini"}) {
        const auto sections = readIniSections(userConfigDir() + QLatin1String(gtk));
        const QString name = sections.value(QStringLiteral("Settings")).value(QStringLiteral("gtk-icon-theme-name"));
        if (!name.isEmpty())
            return name;
    }
    const auto kde = readIniSections(userConfigDir() + QStringLiteral("/kdeglobals"));
    return kde.value(QStringLiteral("Icons")).value(QStringLiteral("Theme"));
}

bool themeInstalled(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return false;
    for (const QString& base : iconThemeSearchPaths()) {
        if (QFileInfo::exists(base + QLatin1Char('/') + name + QStringLiteral("/index.theme")))
            return true;
    }
    return false;
}

// The image files of one theme folder, sorted without regard to case so
// that a name found in several formats keeps the same order on every disk.
// A suffix test rather than name filters: those compile three expressions
// for every folder, and a theme has hundreds of folders.
QStringList iconFilesIn(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        for (QLatin1String suffix : {QLatin1String(".png"), QLatin1String(".svg"), QLatin1String(".xpm")}) {
            if (name.endsWith(suffix, Qt::CaseInsensitive)) {
                files.append(name);
                break;
            }
        }
    }
    std::sort(files.begin(), files.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return files;
}

class ThemeStore {
public:
    QImage lookup(const QStringList& names, int size);

private:
    const ThemeIndex* theme(const QString& name);
    std::unique_ptr<ThemeIndex> loadTheme(const QString& name) const;
    QStringList chain();

    QMutex m_mutex;
    QHash<QString, std::shared_ptr<ThemeIndex>> m_themes;
    // Decoded theme files: many items share one type icon, and decoding a
    // large PNG costs far more than the rest of an extraction.
    QHash<QString, QImage> m_decoded;
    QStringList m_chain;
};

std::unique_ptr<ThemeIndex> ThemeStore::loadTheme(const QString& name) const
{
    auto index = std::make_unique<ThemeIndex>();
    bool found = false;
    for (const QString& base : iconThemeSearchPaths()) {
        const QString root = base + QLatin1Char('/') + name;
        const auto sections = readIniSections(root + QStringLiteral("/index.theme"));
        if (sections.isEmpty())
            continue;
        const auto head = sections.value(QStringLiteral("Icon Theme"));
        if (!found) {
            index->inherits = head.value(QStringLiteral("Inherits")).split(QLatin1Char(','), Qt::SkipEmptyParts);
            found = true;
        }
        QStringList dirs = head.value(QStringLiteral("Directories")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        dirs += head.value(QStringLiteral("ScaledDirectories")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (QString dir : dirs) {
            dir = dir.trimmed();
            const auto info = sections.value(dir);
            if (info.value(QStringLiteral("Scale"), QStringLiteral("1")) != QLatin1String("1"))
                continue;
            const int dirSize = info.value(QStringLiteral("Size")).toInt();
            const bool scalable = info.value(QStringLiteral("Type")) == QLatin1String("Scalable");
            const QDir folder(root + QLatin1Char('/') + dir);
            const QStringList files = iconFilesIn(folder.path());
            for (const QString& file : files) {
                const QString iconName = file.left(file.lastIndexOf(QLatin1Char('.')));
                const bool svg = file.endsWith(QLatin1String(".svg"));
                index->icons[iconName].append({folder.filePath(file), dirSize, scalable && svg});
            }
        }
    }
    if (!found)
        return nullptr;
    return index;
}

const ThemeIndex* ThemeStore::theme(const QString& name)
{
    auto it = m_themes.find(name);
    if (it == m_themes.end())
        it = m_themes.insert(name, std::shared_ptr<ThemeIndex>(loadTheme(name)));
    return it->get();
}

QStringList ThemeStore::chain()
{
    if (!m_chain.isEmpty())
        return m_chain;
    // Breadth-first over Inherits, each theme once, hicolor always last.
    QStringList order{iconThemeName()};
    for (int i = 0; i < order.size() && order.size() < 32; ++i) {
        if (const ThemeIndex* t = theme(order.at(i))) {
            for (const QString& parent : t->inherits) {
                if (!order.contains(parent.trimmed()))
                    order.append(parent.trimmed());
            }
        }
    }
    order.removeAll(QStringLiteral("hicolor"));
    order.append(QStringLiteral("hicolor"));
    m_chain = order;
    return m_chain;
}

QImage loadIconFile(const QString& path, bool scalable, int size)
{
    QImageReader reader(path);
    if (scalable || path.endsWith(QLatin1String(".svg"))) {
        QSize s = reader.size();
        s = s.isValid() && !s.isEmpty() ? s.scaled(size, size, Qt::KeepAspectRatio) : QSize(size, size);
        reader.setScaledSize(s);
    }
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QImage ThemeStore::lookup(const QStringList& names, int size)
{
    Candidate pick;
    {
        QMutexLocker lock(&m_mutex);
        for (const QString& themeName : chain()) {
            const ThemeIndex* t = theme(themeName);
            if (!t)
                continue;
            for (const QString& name : names) {
                const auto found = t->icons.constFind(name);
                if (found == t->icons.constEnd())
                    continue;
                const Candidate* bigEnough = nullptr;
                const Candidate* scalable = nullptr;
                const Candidate* largest = nullptr;
                for (const Candidate& c : *found) {
                    if (c.scalable) {
                        if (!scalable)
                            scalable = &c;
                    } else if (c.size >= size) {
                        if (!bigEnough || c.size < bigEnough->size)
                            bigEnough = &c;
                    } else if (!largest || c.size > largest->size) {
                        largest = &c;
                    }
                }
                pick = bigEnough ? *bigEnough : scalable ? *scalable : largest ? *largest : found->first();
                break;
            }
            if (!pick.path.isEmpty())
                break;
        }
    }
    if (!pick.path.isEmpty()) {
        const QString key = pick.path + QLatin1Char('@') + QString::number(size);
        {
            QMutexLocker lock(&m_mutex);
            const auto hit = m_decoded.constFind(key);
            if (hit != m_decoded.constEnd())
                return *hit;
        }
        const QImage image = loadIconFile(pick.path, pick.scalable, size);
        QMutexLocker lock(&m_mutex);
        if (m_decoded.size() >= 128)
            m_decoded.clear();
        m_decoded.insert(key, image);
        return image;
    }
    // Programs that install no themed icon may put one in a pixmaps folder.
    for (const QString& dataDir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        for (const QString& name : names) {
            if (name.contains(QLatin1Char('/')))
                continue;
            for (const char* ext : {".png", ".svg", ".xpm"}) {
                const QString file = dataDir + QStringLiteral("/pixmaps/") + name + QLatin1String(ext);
                if (QFileInfo::exists(file))
                    return loadIconFile(file, false, size);
            }
        }
    }
    return QImage();
}

ThemeStore& store()
{
    static ThemeStore* s = new ThemeStore; // lives until the process ends
    return *s;
}

} // namespace

QStringList iconThemeSearchPaths()
{
    QStringList paths;
    paths << QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/icons");
    paths << QDir::homePath() + QStringLiteral("/.icons");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        paths << QDir::cleanPath(dir) + QStringLiteral("/icons");
    paths.removeDuplicates();
    return paths;
}

QString iconThemeName()
{
    static const QString name = [] {
        const QString chosen = chosenThemeFromSettings();
        if (themeInstalled(chosen))
            return chosen;
        for (const char* common : {"Adwaita", "breeze", "Papirus", "Yaru", "elementary", "gnome", "oxygen", "Tango"}) {
            if (themeInstalled(QLatin1String(common)))
                return QString::fromLatin1(common);
        }
        return QStringLiteral("hicolor");
    }();
    return name;
}

QImage themeIconImage(const QStringList& names, int size)
{
    if (names.isEmpty() || size <= 0)
        return QImage();
    return store().lookup(names, size);
}

void applyIconThemeToQt()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QStringList paths = iconThemeSearchPaths();
    for (const QString& p : QIcon::themeSearchPaths()) {
        if (!paths.contains(p))
            paths << p;
    }
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(iconThemeName());
}
