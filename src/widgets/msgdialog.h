#pragma once

#include <QDialog>
#include <QPixmap>
#include <QStringList>

// The themed message card: a kind icon, a title, a text and a row of buttons
// at the right. The card keeps its light look in both themes. Run it with
// exec(); chosenIndex() tells which button closed it.
class MsgDialog : public QDialog {
public:
    // Kinds: 0 information, 1 question, 2 warning; anything else draws as 0.
    // With a parent the dialog is centred over it, else the window manager
    // places it.
    MsgDialog(QWidget* parent, int kind, const QString& title, const QString& text,
              const QStringList& buttons, int defaultIndex);

    // Index of the button that closed the dialog (0 until one did).
    int chosenIndex() const { return m_chosenIndex; }

    // A yes/no question. Empty button texts become the translated "是" and
    // "否". Returns 1 for yes, 0 for no and -1 when the dialog was closed
    // without a button.
    static int ask(QWidget* parent, const QString& title, const QString& text,
                   const QString& yesText = QString(), const QString& noText = QString());

    // The 36 x 36 picture of a kind.
    static QPixmap iconPixmap(int kind);

private:
    int m_chosenIndex = 0;
};
