#include "settings/settingsiconfiles.h"

#include "app/configsafety.h"
#include "app/lang.h"
#include "icons/iconservice.h"
#include "settings/settingsdialog.h"
#include "settings/settingsprompts.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPointer>

#include <filesystem>
#include <system_error>

namespace {

constexpr int kExportSide = 256;

bool sameFile(const QString& a, const QString& b)
{
    if (QDir::toNativeSeparators(a) == QDir::toNativeSeparators(b))
        return true;
    // Two spellings of one file (a link, "..", a doubled slash): replacing
    // the target would first throw away the source.
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// Puts `from` in the place of `to` in one step; a file at `to` is either
// replaced or left as it was.
bool replaceFile(const QString& from, const QString& to)
{
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                            std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
    return !ec;
}

} // namespace

void saveIconAs(QWidget* parent, const QString& source, SettingsPrompts& prompts)
{
    const QPointer<QWidget> guard(parent);
    const QString title = translate(u"另存为图标");
    const QString target = prompts.saveFileName(parent, title, source,
                                                translate(u"图片文件 (*.png *.jpg *.jpeg *.bmp *.gif *.ico);;所有文件 (*.*)"));
    if (target.isEmpty() || (parent && !guard))
        return;
    if (sameFile(source, target))
        return;
    const QString temp = target + QStringLiteral(".krv_tmp");
    if (QFileInfo::exists(temp) && !QFile::remove(temp)) {
        prompts.warning(parent, title, translate(u"保存失败：临时文件被占用，请稍后重试。"));
        return;
    }
    if (!QFile::copy(source, temp)) {
        prompts.warning(parent, title, translate(u"保存失败，请检查目标位置是否可写。"));
        return;
    }
    const bool targetExisted = QFileInfo::exists(target) || QFileInfo(target).isSymLink();
    if (!replaceFile(temp, target)) {
        if (targetExisted)
            prompts.warning(parent, title,
                            translate(u"已写入临时文件，但无法替换原文件（可能被占用）：\n") + QDir::toNativeSeparators(temp));
        else
            prompts.warning(parent, title,
                            translate(u"保存失败：无法完成文件替换，临时文件保留于\n") + QDir::toNativeSeparators(temp));
        return;
    }
    prompts.information(parent, title, translate(u"已保存到：\n") + target);
}

QString proposedIconExportPath(const QString& title)
{
    QString name = title;
    for (QChar& c : name)
        if (QStringView(u"\\/:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return QDir::homePath() + QLatin1Char('/') + name + QStringLiteral(".png");
}

void exportDefaultIcon(QWidget* parent, const IconRow& row, SettingsPrompts& prompts)
{
    const QPointer<QWidget> guard(parent);
    QImage image(kExportSide, kExportSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QPixmap icon = iconPixmapForPath(row.path);
    if (!icon.isNull()) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        const QSize fitted = icon.size().scaled(kExportSide, kExportSide, Qt::KeepAspectRatio);
        const QRect target((kExportSide - fitted.width()) / 2, (kExportSide - fitted.height()) / 2, fitted.width(),
                           fitted.height());
        p.drawPixmap(target, icon);
    }
    const QString title = translate(u"导出系统默认图标");
    const QString answer =
        prompts.saveFileName(parent, title, proposedIconExportPath(row.title), translate(u"PNG 图片 (*.png)"));
    if (answer.isEmpty() || (parent && !guard))
        return;
    const QString path = QDir::toNativeSeparators(answer);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || !saveFileAtomically(path, bytes, nullptr)) {
        prompts.warning(parent, title, translate(u"保存失败，请检查目标位置是否可写。"));
        return;
    }
    prompts.information(parent, title, translate(u"已保存到：\n") + path);
}
