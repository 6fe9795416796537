#pragma once

#include <QImage>
#include <QTextEdit>

// The input of the support chat: plain text only; a pasted or dropped
// picture (image data, or a local image file) is handed out as imagePicked
// instead of being inserted.
class ChatEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit ChatEdit(QWidget* parent = nullptr);
    ~ChatEdit() override;

Q_SIGNALS:
    void imagePicked(QImage img);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};
