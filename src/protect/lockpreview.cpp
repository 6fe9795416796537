// Sample pictures of the protection dialogs for the screenshot mode.
#include "protect/lockpreview.h"

#include "app/lang.h"
#include "app/theme.h"
#include "protect/lockdialog.h"
#include "protect/uilockoverlay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr QSize kLandscape(900, 520);
constexpr QSize kPortrait(420, 700);

void save(const QPixmap& picture, const QString& path)
{
    // A folder that cannot be written loses its pictures and nothing else.
    picture.save(path);
}

// The photo the lock screen is shown over: a diagonal three-colour gradient
// with two soft light discs.
QImage sampleLockBackground()
{
    QImage image(1200, 760, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 1200, 760);
    gradient.setColorAt(0, QColor(47, 109, 214));
    gradient.setColorAt(0.5, QColor(142, 84, 200));
    gradient.setColorAt(1, QColor(224, 138, 74));
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 46));
    p.drawEllipse(60, -20, 440, 440);
    p.drawEllipse(680, 320, 600, 600);
    return image;
}

} // namespace

void previewLockDialogs(const QString& folder)
{
    {
        LockDialog dialog(LockDialog::Set);
        save(dialog.grab(), folder + QStringLiteral("/lock-dialog-set.png"));
    }
    {
        LockDialog dialog(LockDialog::Verify);
        dialog.setError(translate(u"密码错误，请重试"));
        // The error row fades in over a few timer ticks; a picture taken at
        // once would show the row empty.
        const QDeadlineTimer reveal(300);
        while (!reveal.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        save(dialog.grab(), folder + QStringLiteral("/lock-dialog-unlock.png"));
    }
    {
        LockDialog dialog(LockDialog::Change);
        save(dialog.grab(), folder + QStringLiteral("/lock-dialog-change.png"));
    }
}

void renderLockOverlayShot(const QString& folder, const QString& name, const QSize& size, const QString& background)
{
    UiLockOverlay overlay(nullptr);
    overlay.resize(size);
    if (!background.isEmpty())
        overlay.setBackgroundImage(background);
    save(overlay.grab(), folder + QLatin1Char('/') + name);
}

void previewLockOverlays(const QString& folder)
{
    const bool wasDark = currentTheme().isDark;
    setDarkTheme(false);
    renderLockOverlayShot(folder, QStringLiteral("lock-overlay-landscape.png"), kLandscape, QString());
    renderLockOverlayShot(folder, QStringLiteral("lock-overlay-portrait.png"), kPortrait, QString());
    setDarkTheme(true);
    renderLockOverlayShot(folder, QStringLiteral("lock-overlay-dark.png"), kLandscape, QString());
    setDarkTheme(false);

    {
        UiLockOverlay overlay(nullptr);
        overlay.resize(kLandscape);
        overlay.showPasswordInput(false);
        overlay.settleEntryAnimation();
        if (QLineEdit* edit = overlay.passwordEdit())
            edit->show();
        overlay.repaint();
        save(overlay.grab(), folder + QStringLiteral("/lock-overlay-unlock.png"));
    }

    const QString photo = folder + QStringLiteral("/_lockbg-sample.png");
    sampleLockBackground().save(photo);
    renderLockOverlayShot(folder, QStringLiteral("lock-overlay-photo.png"), kLandscape, photo);
    QFile::remove(photo);
    setDarkTheme(wasDark);
}
