#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The parts of the support chat that need no window: the message record, the
// geometry of the window and of the bubbles, the picture store and the
// picture conversions.

// One entry of the conversation.
struct ChatMessage {
    bool mine = false;      // written by the user; customer service and the client's own notices are not
    QString text;
    QString created;        // as the server sends it; local ISO time for the user's own, empty for notices
    QString img;            // a name under "/uploads/", "local:<n>" for a picture just sent, or empty
};

// The fixed controls of the chat window for an input area `inputHeight` tall
// (inclusive pixel rectangles, window coordinates). The thumbnail is null
// while nothing is attached.
struct ChatControls {
    QRect title;
    QRect close;
    QRect view;
    QRect thumbnail;
    QRect pictureButton;
    QRect input;
    QRect send;
    int inputDividerY = 0;
};

constexpr int kChatWindowSize = 420;
constexpr int kChatInputMin = 52;
constexpr int kChatInputMax = 138;

ChatControls chatControls(int inputHeight, bool attached, int width = kChatWindowSize);

// Bubbles and picture rectangles of a conversation, in content coordinates.
struct ChatLayout {
    QList<QRect> bubbles;
    QList<QRect> images;    // null for a message without picture
    int contentHeight = 0;
};

// `pictureSize` gives the pixel size of a cached picture, or an invalid size
// while it is not cached.
ChatLayout layoutChatMessages(const QList<ChatMessage>& messages, const QFont& font,
                              const std::function<QSize(const QString&)>& pictureSize);

// The largest transfer of a chat picture.
constexpr qint64 kChatImageMaxBytes = 4 * 1024 * 1024;

// Names the chat may ask the server for: letters, digits, ".", "_" and "-",
// never "..". A "local:" name is not one of them.
bool isFetchableImageName(const QString& name);

// A downloaded picture fitted into the bubble box for device pixel ratio
// `dpr` (190 x 140 logical pixels, at most 380 x 280 real ones); a picture
// that already fits is left as it is.
QImage fitChatPicture(const QImage& image, qreal dpr);

// A picture as the server takes it: at most 1280 pixels a side, PNG, Base64.
QString encodeChatPicture(const QImage& image);

// The downloaded and just-sent pictures: at most 120, the one first inserted
// leaves first. Inserting a name again replaces its picture without making
// it younger.
class ChatImageCache {
public:
    static constexpr int kCapacity = 120;

    void insert(const QString& name, const QImage& image);
    void remove(const QString& name);
    bool contains(const QString& name) const { return m_images.contains(name); }
    QImage value(const QString& name) const { return m_images.value(name); }
    int size() const { return int(m_images.size()); }
    const QStringList& order() const { return m_order; }

private:
    QHash<QString, QImage> m_images;
    QStringList m_order;
};
