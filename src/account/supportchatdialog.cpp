// The support chat window: construction, geometry, input, attaching and
// encoding pictures.
#include "account/supportchatdialog.h"

#include "account/chatedit.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "platform/launcher.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

namespace {

constexpr int kHeaderDragBottom = 45;
constexpr int kWheelStep = 48;
constexpr int kPreviewSide = 320;
// Content coordinates above this line are hidden behind the header.
constexpr int kViewSpan = 364;

QFont chatFont(int pixelSize, int weight = 400)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

} // namespace

SupportChatDialog::SupportChatDialog(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , headerTitle(translate(u"Quillory · 反馈中心"))
    , pollTimer(std::make_unique<QTimer>())
{
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(4, themeCornerRadius())); });
    setMouseTracking(true);
    setFixedSize(kChatWindowSize, kChatWindowSize);
    setWindowTitle(translate(u"反馈中心"));

    input = new ChatEdit(this);
    input->setPlaceholderText(translate(u"输入你的问题…（可直接 Ctrl+V 粘贴截图）"));
    input->setStyleSheet(
        QStringLiteral("QTextEdit{border:1px solid #D8DCE6;border-radius:9px;padding:4px 12px;background:#F5F6F9;"
                       "color:#39404C;font-size:13px;font-family:'%1';selection-background-color:#2F6FED;}"
                       "QTextEdit:focus{border:1px solid #2F6FED;}")
            .arg(uiFontFamily()));
    input->setAcceptRichText(false);
    input->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    input->setWordWrapMode(QTextOption::WrapAnywhere);
    input->installEventFilter(this);
    connect(input, &QTextEdit::textChanged, this, &SupportChatDialog::adjustInputHeight);
    connect(input, &ChatEdit::imagePicked, this, &SupportChatDialog::attachImage);
    connect(pollTimer.get(), &QTimer::timeout, this, &SupportChatDialog::pollOnce);
    relayoutControls();
}

SupportChatDialog::~SupportChatDialog()
{
    for (QNetworkReply* reply : std::as_const(imageReplies)) {
        reply->disconnect();
        reply->abort();
        reply->deleteLater();
    }
    imageReplies.clear();
    if (encoderThread.joinable())
        encoderThread.join();
    // Outstanding requests find the window gone and only delete themselves.
    if (nam)
        nam->deleteLater();
}

void SupportChatDialog::relayoutControls()
{
    m_controls = chatControls(inputHeight, !preview.isNull(), width());
    input->setGeometry(m_controls.input);
}

int SupportChatDialog::hitTest(const QPoint& pos) const
{
    if (m_controls.send.contains(pos))
        return SendButton;
    if (m_controls.close.contains(pos))
        return CloseCross;
    if (m_controls.pictureButton.contains(pos))
        return PictureButton;
    if (!m_controls.thumbnail.isNull() && m_controls.thumbnail.contains(pos))
        return Thumbnail;
    return NoPart;
}

void SupportChatDialog::layoutMessages()
{
    // Laying out asks for the pictures the bubbles show, newest first and
    // no more than the cache keeps: asking for more would fetch, evict and
    // fetch again without end.
    QSet<QString> wanted;
    for (auto it = messages.crbegin(); it != messages.crend() && wanted.size() < ChatImageCache::kCapacity; ++it) {
        if (it->img.isEmpty() || wanted.contains(it->img))
            continue;
        wanted.insert(it->img);
        fetchImage(it->img);
    }
    m_layout = layoutChatMessages(messages, chatFont(12), [this](const QString& name) {
        return imageCache.contains(name) ? imageCache.value(name).size() : QSize();
    });
    layoutDirty = false;
}

const ChatLayout& SupportChatDialog::messageLayout()
{
    if (layoutDirty)
        layoutMessages();
    return m_layout;
}

int SupportChatDialog::maxScroll() const
{
    return qMax(m_layout.contentHeight - (kViewSpan - inputHeight), 0);
}

int SupportChatDialog::imageAt(const QPoint& pos)
{
    messageLayout();
    const QPoint content(pos.x(), pos.y() + maxScroll() - scrollFromBottom);
    for (int i = 0; i < m_layout.images.size(); ++i) {
        const QRect& r = m_layout.images.at(i);
        if (!r.isNull() && r.contains(content))
            return i;
    }
    return -1;
}

bool SupportChatDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == input && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            hide();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && !(key->modifiers() & Qt::ShiftModifier)) {
            send();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SupportChatDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging) {
        move(event->globalPosition().toPoint() - dragOffset);
        return;
    }
    const int hit = hitTest(event->position().toPoint());
    if (hit != hoverPart) {
        hoverPart = hit;
        update();
    }
    setCursor(hit > NoPart ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void SupportChatDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging = false;
    const QPoint pos = event->position().toPoint();
    const int hit = hitTest(pos);
    if (hit == NoPart && qRound(event->position().y()) < kHeaderDragBottom) {
        QWindow* handle = windowHandle();
        if (handle && handle->startSystemMove())
            return;
        // No window manager to move it: the window follows the pointer itself.
        dragging = true;
        dragOffset = event->globalPosition().toPoint() - this->pos();
        return;
    }
    pressedPart = hit;
}

void SupportChatDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging = false;
    const int pressed = std::exchange(pressedPart, int(NoPart));
    const QPoint pos = event->position().toPoint();
    const int hit = hitTest(pos);
    if (hit != NoPart) {
        if (hit != pressed)
            return;
        switch (hit) {
        case SendButton:
            send();
            break;
        case CloseCross:
            hide();
            break;
        case PictureButton:
            pickImage();
            break;
        case Thumbnail:
            removeAttachment();
            break;
        default:
            break;
        }
        return;
    }
    const int index = imageAt(pos);
    if (index < 0)
        return;
    const QString name = messages.at(index).img;
    // A picture just sent exists only here; the server knows it by another name.
    if (name.isEmpty() || name.startsWith(QLatin1String("local:")) || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\')) || name.contains(QLatin1String("..")))
        return;
    QString error;
    if (!launcher().openUrl(serviceUrl(QStringLiteral("/uploads/") + name), &error))
        qWarning() << "support picture not opened:" << error;
}

void SupportChatDialog::wheelEvent(QWheelEvent* event)
{
    if (event->angleDelta().y() >= 1)
        scrollFromBottom += kWheelStep;
    else
        scrollFromBottom = qMax(scrollFromBottom - kWheelStep, 0);
    update();
    event->accept();
}

void SupportChatDialog::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    pollTimer->stop();
    Q_EMIT chatHidden();
}

void SupportChatDialog::adjustInputHeight()
{
    const QString text = input->toPlainText();
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    QFont f = input->font();
    f.setPixelSize(13);
    int height = kChatInputMin;
    if (lines.size() != 1
        || QFontMetrics(f).horizontalAdvance(lines.first()) > input->viewport()->width() - 26) {
        const int document = int(std::ceil(input->document()->size().height()));
        height = qBound(32, document + 14, 118) + 20;
    }
    if (height == inputHeight)
        return;
    inputHeight = height;
    relayoutControls();
    update();
}

void SupportChatDialog::removeAttachment()
{
    preview = QImage();
    pendingB64.clear();
    encodeReady = false;
    queuedImage = QImage();
    imageQueued = false;
    relayoutControls();
    update();
}

void SupportChatDialog::pickImage()
{
    const QString path = QFileDialog::getOpenFileName(
        this, translate(u"选择图片发送"), QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        translate(u"图片 (*.png *.jpg *.jpeg *.bmp)"));
    if (path.isEmpty())
        return;
    attachImage(QImage(path));
}

void SupportChatDialog::attachImage(const QImage& picture)
{
    if (picture.isNull())
        return;
    encodeReady = false;
    pendingB64.clear();
    preview = picture.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    relayoutControls();
    update();
    if (encoderThread.joinable()) {
        queuedImage = picture;
        imageQueued = true;
        return;
    }
    startEncode(picture);
}

void SupportChatDialog::startEncode(const QImage& picture)
{
    encodeToken = std::make_shared<int>(0);
    QPointer<SupportChatDialog> self(this);
    encoderThread = std::thread([self, token = encodeToken, picture] {
        const QString text = encodeChatPicture(picture);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [self, token, text] {
                if (!self || self->encodeToken != token)
                    return;
                self->onImageEncoded(text);
            },
            Qt::QueuedConnection);
    });
}

void SupportChatDialog::onImageEncoded(const QString& text)
{
    if (encoderThread.joinable())
        encoderThread.join();
    if (!preview.isNull()) {
        pendingB64 = text;
        encodeReady = true;
        if (imageQueued) {
            const QImage next = std::exchange(queuedImage, QImage());
            imageQueued = false;
            if (!next.isNull()) {
                pendingB64.clear();
                encodeReady = false;
                startEncode(next);
            }
        }
    } else {
        pendingB64.clear();
        encodeReady = false;
        queuedImage = QImage();
        imageQueued = false;
        encodeToken.reset();
    }
    update();
}

void SupportChatDialog::changeEvent(QEvent* event)
{
    // The language switched while the chat is open.
    if (event->type() == QEvent::LanguageChange) {
        headerTitle = translate(u"Quillory · 反馈中心");
        setWindowTitle(translate(u"反馈中心"));
        input->setPlaceholderText(translate(u"输入你的问题…（可直接 Ctrl+V 粘贴截图）"));
    }
    QWidget::changeEvent(event);
}
