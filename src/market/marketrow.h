#pragma once

#include <QByteArray>
#include <QHash>
#include <QNetworkReply>
#include <QPixmap>
#include <QPointer>
#include <QString>


// The market's record of one catalogue entry: what the index page says of
// the app, what its manifest adds, and the state of its download and
// installation. A plain value, copied when the index is refreshed.
struct MarketAppRow {
    QString id;
    QString name;
    QString desc;
    QString category;
    QString searchKey;          // lower case of name, desc and category
    QString iconUrl;
    QString version;            // catalogue version; empty when unsafe
    qint64 size = 0;            // package bytes, 0 .. 2 GiB
    bool isWeb = false;
    QString webUrl;
    QString demoUrl;
    QPixmap icon;
    QString installedVersion;   // empty: not installed
    qint64 installedSize = 0;   // bytes of the installed launch file
    qint64 exeSize = 0;
    bool downloading = false;
    bool paused = false;
    bool cancelRequested = false;
    bool installing = false;
    qint64 received = 0;
    qint64 total = 0;
    QString error;
    QByteArray errorBody;       // first 8 KiB of a failed download's body
    bool resumeRetried = false;
    bool rangeMismatch = false;
    // Serial of the row's requests: every reply remembers the value it was
    // made with and is dropped once the row has moved on.
    qint64 generation = 0;
    bool extracting = false;
    // The running package download; the reply deletes itself later.
    QPointer<QNetworkReply> reply;
    QString packageUrl;
    QString sha256;
    QString launch;
    QString manifestVersion;
    QString sdkVersion;

    bool installed() const { return !installedVersion.isEmpty(); }
    bool upToDate() const { return installed() && installedVersion == version; }
    // The version the package and the cache are looked up under: the
    // manifest's when it names one, since the catalogue may lag behind.
    QString packageVersion() const { return manifestVersion.isEmpty() ? version : manifestVersion; }
};

// One entry of the installed-apps registry.
struct InstalledApp {
    QString version;
    QString launch;     // file name inside the app's folder

    bool operator==(const InstalledApp& o) const { return version == o.version && launch == o.launch; }
};

using InstalledAppMap = QHash<QString, InstalledApp>;
