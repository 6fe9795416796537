// The market window's catalogue side: opening, the index page, icons,
// manifests and the session token.
#include "market/appmarketdialog.h"

#include "app/jsonutil.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "account/onlinerequest.h"
#include "app/windowshape.h"
#include "market/marketcatalogue.h"
#include "market/packagecache.h"

#include <QBuffer>
#include <QDateTime>
#include <QDebug>
#include <QGuiApplication>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <cmath>

namespace {

constexpr int kGetTimeoutMs = 15000;
constexpr qint64 kMaxIconBytes = 2097152;
constexpr int kMaxIconSide = 4096;
constexpr int kNoticeShowMs = 6000;
constexpr qint64 kNoticeQuietMs = 60000;
const char kDefaultMinSdk[] = "1.1.0";

const char kLightSearchStyle[] =
    "QLineEdit{background:#F4F6FA;color:#39404C;border:1px solid #E2E6EE;border-radius:11px;padding:0 8px;"
    "font-size:12px;}QLineEdit:focus{border-color:#2C6BE0;background:#FFFFFF;}";
const char kDarkSearchStyle[] =
    "QLineEdit{background:#2F353F;color:#D5D8E2;border:1px solid #414857;border-radius:11px;padding:0 8px;"
    "font-size:12px;}QLineEdit:focus{border-color:#4C8DF6;}";

} // namespace

AppMarketDialog::AppMarketDialog(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(themeCornerRadius(), 4)); });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        windowWidth = qBound(640, avail.width() - 40, 780);
        windowHeight = qBound(420, avail.height() - 80, 540);
        move(avail.center().x() - windowWidth / 2, avail.center().y() - windowHeight / 2);
    }
    columnWidth = (windowWidth - 44) / 2;
    setFixedSize(windowWidth, windowHeight);
    setAttribute(Qt::WA_MouseTracking);
    setWindowTitle(translate(u"应用市场"));

    searchEdit = new QLineEdit(this);
    searchEdit->setPlaceholderText(translate(u"搜索应用…"));
    searchEdit->setClearButtonEnabled(true);
    searchEdit->setGeometry(windowWidth - 226, 51, 210, 22);
    connect(searchEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        searchText = text.trimmed().toLower();
        scrollOffset = 0;
        update();
    });

    repaintTimer = new QTimer(this);
    repaintTimer->setSingleShot(true);
    repaintTimer->setInterval(50);
    connect(repaintTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

AppMarketDialog::~AppMarketDialog() = default;

QNetworkAccessManager* AppMarketDialog::networkManager()
{
    // Without a parent, like the manager of the main window: replies still
    // in flight when the window goes are deleted by their own handlers.
    if (!netManager)
        netManager = new QNetworkAccessManager();
    return netManager;
}

void AppMarketDialog::openAndRefresh(const QString& newToken)
{
    token = newToken;
    loadRegistry();
    scrollOffset = 0;
    if (searchEdit) {
        const bool light = currentTheme().c[1].lightness() > 127;
        searchEdit->setStyleSheet(QString::fromLatin1(light ? kLightSearchStyle : kDarkSearchStyle));
        searchEdit->clear();
        searchText.clear();
    }
    show();
    raise();
    activateWindow();
    sweepPackageCache();

    minSdkVersion = QString::fromLatin1(kDefaultMinSdk);
    sendGet(serviceUrl(QStringLiteral("/update/sdk_min.json")), [this](QNetworkReply* reply) {
        QJsonObject o;
        if (!parseReplyObject(reply, o))
            return;
        const QString v = o.value(QLatin1String("minSdkVersion")).toString();
        if (!v.isEmpty()) {
            minSdkVersion = v;
            update();
        }
    });
    fetchIndex(1);
}

void AppMarketDialog::sendGet(const QUrl& url, std::function<void(QNetworkReply*)> callback, qint64 maxBytes,
                              Redirects redirects)
{
    ReplyLimits limits = answerLimits(kGetTimeoutMs);
    limits.maxBytes = maxBytes;
    QNetworkReply* reply = getOnline(networkManager(), QNetworkRequest(url), limits, redirects);
    QPointer<AppMarketDialog> self(this);
    connect(reply, &QNetworkReply::finished, reply, [self, reply, callback = std::move(callback)] {
        if (self) {
            QObject::disconnect(reply, nullptr, nullptr, nullptr);
            callback(reply);
        }
        reply->deleteLater();
    });
}

void AppMarketDialog::fetchIndex(int page)
{
    indexFailed = false;
    const int serial = ++indexGeneration;
    sendGet(serviceUrl(QStringLiteral("/update/index/page-%1.json").arg(page)), [this, serial](QNetworkReply* reply) {
        if (serial != indexGeneration)
            return;
        QJsonObject o;
        if (!parseReplyObject(reply, o) || !o.contains(QLatin1String("apps"))) {
            indexFailed = true;
            update();
            return;
        }
        QList<AppRow> fresh = parseIndexApps(o.value(QLatin1String("apps")).toArray());
        mergeIndexRows(fresh, rows, installedApps, appsRootDir());
        rows = fresh;
        scrollOffset = 0;
        indexLoaded = true;
        for (AppRow& row : rows) {
            if (!row.iconUrl.isEmpty() && row.icon.isNull())
                fetchIcon(row);
        }
        update();
    });
}

void AppMarketDialog::fetchIcon(AppRow& row)
{
    const QUrl url(row.iconUrl);
    if (!isHttpUrl(url))
        return;
    const QString id = row.id;
    sendGet(url, [this, id](QNetworkReply* reply) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299)
            return;
        // The cap held during the transfer; this is the last word on it.
        const QByteArray body = reply->read(kMaxIconBytes + 1);
        if (body.isEmpty() || body.size() > kMaxIconBytes)
            return;
        QBuffer buffer;
        buffer.setData(body);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (!size.isValid() || size.width() > kMaxIconSide || size.height() > kMaxIconSide)
            return;
        const QImage image = reader.read();
        if (image.isNull())
            return;
        const QPixmap pixmap = QPixmap::fromImage(image);
        if (pixmap.isNull() || pixmap.width() > kMaxIconSide || pixmap.height() > kMaxIconSide)
            return;
        AppRow* r = findRow(id);
        if (!r)
            return;
        const qreal dpr = devicePixelRatioF();
        const int side = qMax(1, int(std::lround(48 * dpr)));
        const Qt::TransformationMode mode = pixmap.width() >= side ? Qt::SmoothTransformation : Qt::FastTransformation;
        QPixmap scaled = pixmap.scaled(side, side, Qt::KeepAspectRatio, mode);
        scaled.setDevicePixelRatio(dpr);
        r->icon = scaled;
        update();
    }, kMaxIconBytes, Redirects::NoLessSafe);
}

void AppMarketDialog::fetchManifest(AppRow& row)
{
    const qint64 serial = ++row.generation;
    const QString id = row.id;
    row.downloading = row.paused = row.cancelRequested = row.installing = false;
    row.received = row.total = 0;
    row.errorBody.clear();
    row.resumeRetried = row.rangeMismatch = false;
    row.error.clear();
    row.installing = true;
    update();
    sendGet(serviceUrl(QStringLiteral("/update/apps/%1.json").arg(id)), [this, id, serial](QNetworkReply* reply) {
        AppRow* r = findRow(id);
        if (!r || r->generation != serial || r->cancelRequested)
            return;
        QJsonObject o;
        if (!parseReplyObject(reply, o)) {
            resetRowDownload(*r, translate(u"清单获取失败"));
            return;
        }
        const QString url = o.value(QLatin1String("url")).toString();
        r->packageUrl = isHttpUrl(QUrl(url)) ? url : QString();
        r->sha256 = o.value(QLatin1String("sha256")).toString();
        r->launch = o.value(QLatin1String("launch")).toString();
        if (!isSafeFileName(r->launch))
            r->launch.clear();
        r->manifestVersion = o.value(QLatin1String("version")).toString();
        r->sdkVersion = o.value(QLatin1String("sdkVersion")).toString();
        const qint64 exeSize = readClampedSize(o.value(QLatin1String("exeSize")));
        if (exeSize > 0)
            r->exeSize = exeSize;
        if (!r->packageUrl.isEmpty() && !r->launch.isEmpty())
            startDownload(*r);
        else
            resetRowDownload(*r, translate(u"清单数据不完整"));
    });
}

AppMarketDialog::AppRow* AppMarketDialog::findRow(const QString& id)
{
    for (AppRow& row : rows) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

void AppMarketDialog::resetRowDownload(AppRow& row, const QString& message)
{
    row.downloading = row.paused = row.cancelRequested = row.installing = false;
    row.received = row.total = 0;
    row.errorBody.clear();
    row.resumeRetried = row.rangeMismatch = false;
    row.error = message;
    update();
}

void AppMarketDialog::setToken(const QString& newToken)
{
    token = newToken;
    if (token.isEmpty() || pendingLoginIds.isEmpty())
        return;
    const QSet<QString> waiting = std::exchange(pendingLoginIds, {});
    for (const QString& id : waiting) {
        AppRow* row = findRow(id);
        if (!row || row->error.isEmpty())
            continue;
        row->error.clear();
        if (!row->downloading)
            startDownload(*row);
    }
}

void AppMarketDialog::showRegistryWriteNotice()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (lastNoticeMs != 0 && now - lastNoticeMs < kNoticeQuietMs)
        return;
    lastNoticeMs = now;
    noticeText = translate(u"已安装应用清单无法写入，重启后可能显示为未安装");
    if (!noticeTimer) {
        noticeTimer = new QTimer(this);
        noticeTimer->setSingleShot(true);
        connect(noticeTimer, &QTimer::timeout, this, [this] {
            noticeText.clear();
            update();
        });
    }
    if (isVisible())
        noticeTimer->start(kNoticeShowMs);
    update();
}

void AppMarketDialog::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!noticeText.isEmpty() && noticeTimer && !noticeTimer->isActive())
        noticeTimer->start(kNoticeShowMs);
}

void AppMarketDialog::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
}

void AppMarketDialog::scheduleRepaint()
{
    if (repaintTimer)
        repaintTimer->start();
}

void AppMarketDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        setWindowTitle(translate(u"应用市场"));
        searchEdit->setPlaceholderText(translate(u"搜索应用…"));
    }
    QWidget::changeEvent(event);
}
