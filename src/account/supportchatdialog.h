#pragma once

#include "account/supportchat.h"

#include <QImage>
#include <QJsonObject>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <functional>
#include <memory>
#include <thread>

class ChatEdit;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The support chat: a small frameless window that paints the conversation
// with the vendor's customer service, and the client that keeps it in step
// with "/api/support.php". The panel creates one, hands it the session and
// opens it; hiding keeps the conversation.
class SupportChatDialog : public QWidget {
    Q_OBJECT
public:
    using ChatMessage = ::ChatMessage;

    // Hit codes of the window's controls.
    enum Part { NoPart = 0, SendButton = 1, CloseCross = 2, PictureButton = 3, Thumbnail = 4 };

    explicit SupportChatDialog(QWidget* parent = nullptr);
    ~SupportChatDialog() override;

    void setSession(const QString& token, const QString& userName);
    // Shows the window with its top-left corner at `globalPos` and starts
    // (or resumes) the conversation, or asks for a sign-in without a token.
    void openAt(const QPoint& globalPos);
    // The conversation of a new sign-in, from the start.
    void reloadAfterLogin();
    void pollOnce();
    void markRead();
    // Sends what the input and the attachment hold.
    void send();
    // The one request function of the chat; `callback` gets the answer's
    // object, an empty one on every failure, and only while the window lives.
    void postApi(const QString& action, QJsonObject body, std::function<void(const QJsonObject&)> callback);
    void fetchImage(const QString& name);

    void attachImage(const QImage& picture);
    void pickImage();

    // Read by the panel and by tests.
    const QList<ChatMessage>& conversation() const { return messages; }
    qint64 pollCursor() const { return lastId; }
    QString title() const { return headerTitle; }
    bool hasAttachment() const { return !preview.isNull(); }
    bool attachmentReady() const { return encodeReady; }
    QString attachmentBase64() const { return pendingB64; }
    bool isSending() const { return sending; }
    bool isPending() const { return pending; }
    int inputAreaHeight() const { return inputHeight; }
    const ChatControls& controls() const { return m_controls; }
    const ChatLayout& messageLayout();
    int scrollOffset() const { return scrollFromBottom; }
    ChatEdit* inputEdit() const { return input; }
    const ChatImageCache& pictures() const { return imageCache; }
    bool pictureFailed(const QString& name) const { return imagesFailed.contains(name); }
    bool pictureRequested(const QString& name) const { return imagesRequested.contains(name); }
    bool pictureQueued(const QString& name) const { return pictureQueue.contains(name); }
    int picturesInFlight() const { return int(imageReplies.size()); }
    int hitTest(const QPoint& pos) const;
    // Index of the message whose picture lies under `pos`, or -1.
    int imageAt(const QPoint& pos);

Q_SIGNALS:
    void unreadChanged(int count);
    void chatHidden();
    void loginRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QNetworkAccessManager* networkManager();
    void onPollReply(const QJsonObject& reply, quint64 serial);
    void onSendReply(const QJsonObject& reply, const QImage& keptPicture, const QString& keptB64, bool hadPicture,
                     const QString& sentText);
    void onImageReply(QNetworkReply* reply, const QString& name);
    void fetchQueuedPicture();
    void requestWelcome();
    void appendNotice(const QString& text);
    void clearConversation();
    void trim();
    void changed();
    void removeAttachment();
    void relayoutControls();
    void layoutMessages();
    void adjustInputHeight();
    void startEncode(const QImage& picture);
    void onImageEncoded(const QString& text);
    int maxScroll() const;

    // The conversation and the client.
    QList<ChatMessage> messages;
    QString token;
    QString userName;
    qint64 lastId = 0;
    bool pollInFlight = false;
    bool welcomeShown = false;
    QString headerTitle;
    bool pending = false;
    QString pendingText;
    QString pendingImg;
    int pendingIndex = -1;
    bool sending = false;
    int localImageCounter = 0;
    // Ids of the user's own messages already shown as local bubbles, so a
    // poll that brings them back adds nothing.
    QSet<qint64> sentIds;
    // Moves on every restart of the conversation: a poll answer of an
    // earlier one is not merged into the new list.
    quint64 conversationSerial = 0;
    // The account the shown conversation belongs to.
    QString conversationUser;

    // The attachment.
    QImage preview;
    QString pendingB64;
    bool encodeReady = false;
    QImage queuedImage;
    bool imageQueued = false;
    std::thread encoderThread;
    std::shared_ptr<int> encodeToken;

    // Pictures.
    ChatImageCache imageCache;
    QSet<QString> imagesRequested;
    QSet<QString> imagesFailed;
    QSet<QNetworkReply*> imageReplies;
    // Pictures waiting for a free request, oldest first.
    QStringList pictureQueue;

    std::unique_ptr<QTimer> pollTimer;
    QNetworkAccessManager* nam = nullptr;
    QJsonObject body;

    // The window.
    ChatEdit* input = nullptr;
    int inputHeight = kChatInputMin;
    ChatControls m_controls;
    int hoverPart = NoPart;
    int pressedPart = NoPart;
    ChatLayout m_layout;
    bool layoutDirty = true;
    int scrollFromBottom = 0;
    bool dragging = false;
    QPoint dragOffset;
};
