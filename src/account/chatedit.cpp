#include "account/chatedit.h"

#include <QMimeData>
#include <QUrl>

ChatEdit::ChatEdit(QWidget* parent)
    : QTextEdit(parent)
{
}

ChatEdit::~ChatEdit() = default;

bool ChatEdit::canInsertFromMimeData(const QMimeData* source) const
{
    // Without this a drop of bare image data would be refused before it
    // ever reached insertFromMimeData.
    return source->hasImage() || source->hasUrls() || QTextEdit::canInsertFromMimeData(source);
}

void ChatEdit::insertFromMimeData(const QMimeData* source)
{
    if (source->hasImage()) {
        const QImage image = qvariant_cast<QImage>(source->imageData());
        if (!image.isNull()) {
            Q_EMIT imagePicked(image);
            return;
        }
    }
    if (source->hasUrls()) {
        for (const QUrl& url : source->urls()) {
            if (!url.isLocalFile())
                continue;
            const QImage image(url.toLocalFile());
            if (!image.isNull()) {
                Q_EMIT imagePicked(image);
                return;
            }
        }
    }
    QTextEdit::insertFromMimeData(source);
}
