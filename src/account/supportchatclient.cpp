// The client half of the support chat: requests, the message list and how
// answers are merged into it, sending, the greeting and the pictures.
#include "account/supportchatdialog.h"

#include "account/authmanager.h"
#include "account/chatedit.h"
#include "account/deviceidentity.h"
#include "account/onlinerequest.h"
#include "app/lang.h"
#include "app/servicehost.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kRequestTimeoutMs = 15000;
constexpr int kPictureTimeoutMs = 20000;
constexpr int kMaxMessages = 500;
// Pictures fetched at the same time; the rest wait their turn.
constexpr int kMaxPictureRequests = 4;
// A poll may bring up to the whole kept conversation at once.
constexpr qint64 kMaxChatAnswerBytes = 64 * 1024 * 1024;
// What a bubble shows of a very long text: laying out and painting more
// would hold the window for seconds without telling the reader anything.
constexpr int kMaxShownChars = 2000;
constexpr int kPollIntervalMs = 3000;
constexpr int kLoginPromptDelayMs = 150;

qint64 messageId(const QJsonValue& v)
{
    if (v.isString())
        return v.toString().trimmed().toLongLong();
    return v.toInteger(0);
}

bool isOk(const QJsonObject& o)
{
    return o.value(QStringLiteral("ok")).toInt() == 1;
}

} // namespace

QNetworkAccessManager* SupportChatDialog::networkManager()
{
    if (!nam)
        nam = new QNetworkAccessManager();
    return nam;
}

void SupportChatDialog::setSession(const QString& newToken, const QString& newUserName)
{
    token = newToken;
    userName = newUserName;
}

void SupportChatDialog::openAt(const QPoint& globalPos)
{
    move(globalPos);
    show();
    raise();
    activateWindow();
    input->setFocus(Qt::OtherFocusReason);
    if (token.isEmpty()) {
        clearConversation();
        appendNotice(translate(u"请先登录账户后再使用反馈中心。登录后即可与客服实时对话。"));
        pollTimer->stop();
        QPointer<SupportChatDialog> self(this);
        QTimer::singleShot(kLoginPromptDelayMs, this, [self] {
            if (self)
                Q_EMIT self->loginRequested();
        });
        return;
    }
    // The list and the poll cursor stay together: a reopening continues the
    // conversation where it stopped, unless it belongs to another account.
    if (conversationUser != userName) {
        clearConversation();
        conversationUser = userName;
    }
    welcomeShown = false;
    layoutDirty = true;
    scrollFromBottom = 0;
    update();
    pollOnce();
    markRead();
    Q_EMIT unreadChanged(0);
    requestWelcome();
    if (!pollTimer->isActive())
        pollTimer->start(kPollIntervalMs);
}

void SupportChatDialog::reloadAfterLogin()
{
    clearConversation();
    conversationUser = userName;
    welcomeShown = false;
    update();
    pollOnce();
    markRead();
    Q_EMIT unreadChanged(0);
    requestWelcome();
    if (isVisible() && !pollTimer->isActive())
        pollTimer->start(kPollIntervalMs);
}

void SupportChatDialog::clearConversation()
{
    messages.clear();
    pictureQueue.clear();
    sentIds.clear();
    lastId = 0;
    // A poll still under way asked for the old list; its answer is dropped
    // and the next poll may start at once.
    ++conversationSerial;
    pollInFlight = false;
    pending = false;
    pendingIndex = -1;
    layoutDirty = true;
    scrollFromBottom = 0;
}

void SupportChatDialog::pollOnce()
{
    if (pollInFlight)
        return;
    pollInFlight = true;
    body = QJsonObject();
    body.insert(QStringLiteral("token"), token);
    body.insert(QStringLiteral("after"), lastId);
    const quint64 serial = conversationSerial;
    postApi(QStringLiteral("poll"), body, [this, serial](const QJsonObject& r) { onPollReply(r, serial); });
}

void SupportChatDialog::onPollReply(const QJsonObject& r, quint64 serial)
{
    if (serial != conversationSerial)
        return;
    pollInFlight = false;
    if (!isOk(r) || !isVisible())
        return;
    QList<ChatMessage> fresh;
    const QJsonArray list = r.value(QStringLiteral("messages")).toArray();
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        ChatMessage m;
        m.mine = o.value(QStringLiteral("from_cs")).toInt() == 0;
        m.text = o.value(QStringLiteral("text")).toString();
        m.created = o.value(QStringLiteral("created")).toString();
        m.img = o.value(QStringLiteral("img")).toString();
        const qint64 id = messageId(o.value(QStringLiteral("id")));
        // Already in the list: merged by an earlier poll, or the user's own
        // message shown when it was sent.
        if (id > 0 && (id <= lastId || sentIds.contains(id))) {
            lastId = qMax(lastId, id);
            continue;
        }
        if (m.mine && pending && m.text == pendingText && m.img.isEmpty() == pendingImg.isEmpty()) {
            // The server's copy of the message being sent: its local bubble stays.
            pending = false;
            pendingIndex = -1;
            if (id > 0)
                sentIds.insert(id);
            lastId = qMax(lastId, id);
            continue;
        }
        if (m.text.size() > kMaxShownChars)
            m.text = m.text.left(kMaxShownChars) + QStringLiteral("…");
        fresh.append(std::move(m));
        lastId = qMax(lastId, id);
    }
    if (fresh.isEmpty())
        return;
    // Only the newest fit; their pictures are asked for when they are laid out.
    if (fresh.size() > kMaxMessages)
        fresh.remove(0, fresh.size() - kMaxMessages);
    messages.append(fresh);
    trim();
    changed();
    markRead();
    Q_EMIT unreadChanged(0);
}

void SupportChatDialog::markRead()
{
    body = QJsonObject();
    body.insert(QStringLiteral("token"), token);
    postApi(QStringLiteral("read"), body, [](const QJsonObject&) {});
}

void SupportChatDialog::requestWelcome()
{
    postApi(QStringLiteral("welcome"), QJsonObject(), [this](const QJsonObject& r) {
        if (!isOk(r) || welcomeShown)
            return;
        welcomeShown = true;
        const QString title = r.value(QStringLiteral("title")).toString();
        if (!title.isEmpty()) {
            headerTitle = title;
            update();
        }
        const QString text = r.value(QStringLiteral("text")).toString();
        if (text.isEmpty())
            return;
        for (const ChatMessage& m : messages) {
            if (!m.mine)
                return;
        }
        ChatMessage greeting;
        greeting.text = text;
        messages.prepend(greeting);
        if (pendingIndex != -1)
            ++pendingIndex;
        layoutDirty = true;
        update();
    });
}

void SupportChatDialog::appendNotice(const QString& text)
{
    ChatMessage notice;
    notice.text = text;
    messages.append(notice);
    trim();
    changed();
}

void SupportChatDialog::changed()
{
    layoutDirty = true;
    scrollFromBottom = 0;
    update();
}

void SupportChatDialog::trim()
{
    const int over = int(messages.size()) - kMaxMessages;
    if (over <= 0)
        return;
    for (int i = 0; i < over; ++i) {
        const QString& img = messages.at(i).img;
        if (img.startsWith(QLatin1String("local:")))
            imageCache.remove(img);
    }
    messages.remove(0, over);
    if (pendingIndex != -1) {
        pendingIndex -= over;
        if (pendingIndex < 0) {
            pendingIndex = -1;
            pending = false;
        }
    }
    layoutDirty = true;
}

void SupportChatDialog::send()
{
    if (sending)
        return;
    const QString text = input->toPlainText().trimmed();
    const bool attached = !preview.isNull();
    if (text.isEmpty() && !attached)
        return;
    if (attached && !encodeReady) {
        appendNotice(translate(u"图片正在处理中，请稍候再发送。"));
        return;
    }
    if (token.isEmpty()) {
        appendNotice(translate(u"请先登录账户后再发送消息。"));
        Q_EMIT loginRequested();
        return;
    }
    const QImage keptPicture = preview;
    const QString keptB64 = pendingB64;
    input->clear();
    preview = QImage();
    pendingB64.clear();
    encodeReady = false;
    sending = true;
    relayoutControls();

    body = QJsonObject();
    body.insert(QStringLiteral("token"), token);
    if (!text.isEmpty())
        body.insert(QStringLiteral("text"), text);
    if (attached)
        body.insert(QStringLiteral("img_b64"), keptB64);

    ChatMessage own;
    own.mine = true;
    own.text = text;
    own.created = QDateTime::currentDateTime().toString(Qt::ISODate);
    if (attached) {
        own.img = QStringLiteral("local:%1").arg(++localImageCounter);
        imageCache.insert(own.img, keptPicture);
    }
    pending = true;
    pendingText = text;
    pendingImg = own.img;
    pendingIndex = int(messages.size());
    messages.append(own);
    trim();
    changed();

    postApi(QStringLiteral("send"), body, [this, keptPicture, keptB64, attached, text](const QJsonObject& r) {
        onSendReply(r, keptPicture, keptB64, attached, text);
    });
}

void SupportChatDialog::onSendReply(const QJsonObject& r, const QImage& keptPicture, const QString& keptB64,
                                    bool hadPicture, const QString& sentText)
{
    sending = false;
    if (isOk(r)) {
        // The id is remembered, not taken as the poll cursor: messages of
        // customer service written just before it have not been polled yet.
        const qint64 id = messageId(r.value(QStringLiteral("id")));
        if (id > 0)
            sentIds.insert(id);
        pending = false;
        pendingIndex = -1;
        pendingImg.clear();
        relayoutControls();
        pollOnce();
        return;
    }
    if (pendingIndex >= 0 && pendingIndex < messages.size() && messages.at(pendingIndex).text == pendingText
        && messages.at(pendingIndex).img == pendingImg)
        messages.removeAt(pendingIndex);
    pending = false;
    pendingIndex = -1;
    if (!pendingImg.isEmpty())
        imageCache.remove(pendingImg);
    pendingImg.clear();
    if (hadPicture && preview.isNull()) {
        preview = keptPicture;
        pendingB64 = keptB64;
        encodeReady = !keptB64.isEmpty();
        relayoutControls();
    }
    // What the user typed comes back unless a new text was started meanwhile.
    if (!sentText.isEmpty() && input->toPlainText().isEmpty()) {
        input->setPlainText(sentText);
        input->moveCursor(QTextCursor::End);
    }
    const QString msg = r.value(QStringLiteral("msg")).toString();
    appendNotice(translate(u"⚠ 发送失败：") + (msg.isEmpty() ? translate(u"网络异常，请稍后重试") : msg));
}

void SupportChatDialog::postApi(const QString& action, QJsonObject requestBody,
                                std::function<void(const QJsonObject&)> callback)
{
    ReplyLimits chatLimits = answerLimits(kRequestTimeoutMs);
    chatLimits.maxBytes = kMaxChatAnswerBytes;
    requestBody.insert(QStringLiteral("device"), deviceId());
    requestBody.insert(QStringLiteral("as_user"), 1);
    QNetworkReply* reply = postOnline(networkManager(), serviceActionUrl(QStringLiteral("/api/support.php"), action),
                                      QJsonDocument(requestBody).toJson(QJsonDocument::Compact), chatLimits);
    QPointer<SupportChatDialog> self(this);
    QObject::connect(reply, &QNetworkReply::finished, reply, [self, reply, callback = std::move(callback)] {
        reply->deleteLater();
        if (!self)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool transportError = reply->error() != QNetworkReply::NoError;
        QJsonObject result;
        if (!transportError && status >= 200 && status <= 299) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &error);
            if (doc.isObject())
                result = doc.object();
            else
                qWarning() << "support postApi parse failed:"
                           << (error.error != QJsonParseError::NoError ? error.errorString()
                                                                       : QStringLiteral("not an object"));
        } else {
            qWarning() << "support postApi rejected: http =" << status << "transportError ="
                       << (transportError ? "true" : "false") << reply->errorString();
        }
        if (callback)
            callback(result);
    });
}

void SupportChatDialog::fetchImage(const QString& name)
{
    if (!isFetchableImageName(name) || imageCache.contains(name) || imagesRequested.contains(name)
        || imagesFailed.contains(name) || pictureQueue.contains(name))
        return;
    if (imageReplies.size() >= kMaxPictureRequests) {
        pictureQueue.append(name);
        return;
    }
    imagesRequested.insert(name);
    ReplyLimits limits = answerLimits(kPictureTimeoutMs);
    limits.maxBytes = kChatImageMaxBytes;
    QNetworkReply* reply =
        getOnline(networkManager(), QNetworkRequest(serviceUrl(QStringLiteral("/uploads/") + name)), limits);
    imageReplies.insert(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply, name] {
        onImageReply(reply, name);
        fetchQueuedPicture();
    });
}

void SupportChatDialog::fetchQueuedPicture()
{
    while (!pictureQueue.isEmpty() && imageReplies.size() < kMaxPictureRequests) {
        const QString name = pictureQueue.takeFirst();
        // A message trimmed away meanwhile needs its picture no more.
        const bool shown = std::any_of(messages.cbegin(), messages.cend(),
                                       [&name](const ChatMessage& m) { return m.img == name; });
        if (shown)
            fetchImage(name);
    }
}

void SupportChatDialog::onImageReply(QNetworkReply* reply, const QString& name)
{
    imageReplies.remove(reply);
    imagesRequested.remove(name);
    reply->deleteLater();
    if (overCap(reply)) {
        qWarning() << "support image too large, rejected:" << name
                   << reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        imagesFailed.insert(name);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        qWarning() << "support image rejected: http =" << status << name;
        imagesFailed.insert(name);
        return;
    }
    const QByteArray bytes = reply->read(kChatImageMaxBytes + 1);
    if (bytes.size() > kChatImageMaxBytes) {
        qWarning() << "support image too large, rejected:" << name << bytes.size();
        imagesFailed.insert(name);
        return;
    }
    QImage picture;
    if (!picture.loadFromData(bytes)) {
        imagesFailed.insert(name);
        return;
    }
    imageCache.insert(name, fitChatPicture(picture, devicePixelRatioF()));
    if (isVisible() && window()->isVisible()) {
        layoutDirty = true;
        update();
    }
}
