// The settings dialog's frame: construction with the callbacks, the working
// copy, OK, Cancel, restore defaults and the page switches.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "backup/backupoperation.h"
#include "model/panelmodel.h"
#include "settings/settingsmerge.h"
#include "settings/settingsprompts.h"
#include "settings/settingsstyle.h"
#include "settings/valuewidgets.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

#include <utility>

namespace {

constexpr int kMaxTitleLength = 24;
constexpr int kSettingsButton = 1;

// The installed prompts, each call held as busy on the dialog that asks:
// the dialog stays alive under every prompt, and asks nothing more once it
// closes under one.
class DialogPrompts : public SettingsPrompts {
public:
    DialogPrompts(SettingsDialog* dialog, std::shared_ptr<SettingsPrompts> inner)
        : m_dialog(dialog), m_inner(std::move(inner))
    {
    }

    int ask(QWidget* parent, const QString& title, const QString& text) override
    {
        return run(-1, [&] { return m_inner->ask(parent, title, text); });
    }
    void warning(QWidget* parent, const QString& title, const QString& text) override
    {
        run(0, [&] { m_inner->warning(parent, title, text); return 0; });
    }
    void information(QWidget* parent, const QString& title, const QString& text) override
    {
        run(0, [&] { m_inner->information(parent, title, text); return 0; });
    }
    bool hintCard(QWidget* parent, const QString& title, const QString& html, const QString& primary,
                  const QString& secondary) override
    {
        return run(false, [&] { return m_inner->hintCard(parent, title, html, primary, secondary); });
    }
    int menu(QWidget* parent, const QList<PromptMenuEntry>& entries, const QPoint& globalPos) override
    {
        return run(-1, [&] { return m_inner->menu(parent, entries, globalPos); });
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        return run(QString(), [&] { return m_inner->openFileName(parent, caption, dir, filter); });
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        return run(QString(), [&] { return m_inner->saveFileName(parent, caption, dir, filter); });
    }
    QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir) override
    {
        return run(QString(), [&] { return m_inner->existingDirectory(parent, caption, dir); });
    }
    QColor colour(QWidget* parent, const QColor& initial, const QString& title) override
    {
        return run(QColor(), [&] { return m_inner->colour(parent, initial, title); });
    }
    LockPromptAnswer lockDialog(QWidget* parent, const LockPrompt& prompt) override
    {
        return run(LockPromptAnswer(), [&] { return m_inner->lockDialog(parent, prompt); });
    }
    void openFolder(const QString& path) override { m_inner->openFolder(path); }
    void openUrl(const QUrl& url) override { m_inner->openUrl(url); }
    void showLogViewer(QWidget* parent, const QString& dataDir) override
    {
        run(0, [&] { m_inner->showLogViewer(parent, dataDir); return 0; });
    }
    void message(QWidget* parent, int kind, const QString& title, const QString& text,
                 const QString& button) override
    {
        run(0, [&] { m_inner->message(parent, kind, title, text, button); return 0; });
    }

private:
    template <typename T, typename Call> T run(T closed, Call&& call)
    {
        if (m_dialog->isClosingUnderPrompt())
            return closed;
        const SettingsDialog::BusyScope busy(m_dialog);
        T answer = call();
        return m_dialog->isClosingUnderPrompt() ? closed : answer;
    }

    SettingsDialog* m_dialog;
    std::shared_ptr<SettingsPrompts> m_inner;
};

// A callback into the panel that may ask questions of its own.
template <typename... Args>
std::function<void(Args...)> heldBusy(SettingsDialog* dialog, std::function<void(Args...)> callback)
{
    if (!callback)
        return callback;
    return [dialog, callback = std::move(callback)](Args... args) {
        const SettingsDialog::BusyScope busy(dialog);
        callback(args...);
    };
}

} // namespace

SettingsDialog::BusyScope::BusyScope(SettingsDialog* dialog) : m_dialog(dialog)
{
    if (m_dialog)
        ++m_dialog->m_busyDepth;
}

SettingsDialog::BusyScope::~BusyScope()
{
    if (!m_dialog || --m_dialog->m_busyDepth > 0)
        return;
    m_dialog->m_closing = false;
    // Posted from the loop the outermost prompt was opened in, so that it
    // runs only once everything that asked has returned.
    if (std::exchange(m_dialog->m_deletePending, false))
        m_dialog->deleteLater();
}

SettingsDialog::SettingsDialog(AppSettings* settings, QString dataDir, Callback onClearIconCache, ApplyCallback onApply,
                               Callback onExportUserData, Callback onImportUserData, Callback onCheckUpdate,
                               Callback onExportLogs, UninstallCallback onUninstall, QList<PanelGroup>* groups,
                               Callback onLayoutChanged, LockBackgroundCallback onLockBackground,
                               ProtectionCallback onProtectionChanged, Callback onRestoreFinished, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_working(settings ? *settings : AppSettings())
    , m_opened(m_working)
    , m_dataDir(std::move(dataDir))
    , m_onClearIconCache(std::move(onClearIconCache))
    , m_onApply(std::move(onApply))
    , m_onExportUserData(heldBusy(this, std::move(onExportUserData)))
    , m_onImportUserData(heldBusy(this, std::move(onImportUserData)))
    , m_onCheckUpdate(heldBusy(this, std::move(onCheckUpdate)))
    , m_onExportLogs(heldBusy(this, std::move(onExportLogs)))
    , m_onUninstall(heldBusy(this, std::move(onUninstall)))
    , m_groups(groups)
    , m_onLayoutChanged(std::move(onLayoutChanged))
    , m_onLockBackground(std::move(onLockBackground))
    , m_onProtectionChanged(std::move(onProtectionChanged))
    , m_onRestoreFinished(std::move(onRestoreFinished))
    , m_prompts(std::make_shared<DialogPrompts>(this, settingsPrompts()))
{
    // The settings button can never be hidden: it is the way back here.
    if (m_working.btnVisible.size() > kSettingsButton)
        m_working.btnVisible[kSettingsButton] = true;

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [this] { return qreal(std::clamp(m_working.cornerRadius, 0, 24)); });
    setModal(false);
    setMouseTracking(true);
    setWindowTitle(translate(u"设置"));

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = settingsDialogSize(screen ? screen->availableGeometry() : QRect());
    m_dialogWidth = size.width();
    m_dialogHeight = size.height();
    setFixedSize(size);

    buildChildWidgets();
    relayout();
}

void SettingsDialog::prepareFirstOpen(const AppSettings& settings, const QString& dataDir)
{
    AppSettings copy = settings;
    QList<PanelGroup> noGroups;
    SettingsDialog dialog(&copy, dataDir, {}, {}, {}, {}, {}, {}, {}, &noGroups, {}, {}, {}, {});
    dialog.applyStyle();
    // The window's own format: glyph caches are kept per format.
    QImage frame(dialog.size(), QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    dialog.render(&frame);
}

SettingsDialog::~SettingsDialog()
{
    if (m_backupRunner && m_backupRunner->isBusy() && m_backupRunner->lastOp() == int(BackupOp::Restore)) {
        // A restore keeps running when the dialog goes (a lock, a remote
        // unlock): its runner stays until it has reported, so that the panel
        // loads what was restored and saving is allowed again. At the quit
        // it is cancelled like the dialog's own.
        BackupOperationRunner* runner = m_backupRunner.release();
        runner->setParent(QCoreApplication::instance());
        connect(qApp, &QCoreApplication::aboutToQuit, runner, [runner] { runner->stop(0); });
        return;
    }
    // Raises the cancel flag of another operation still running on the
    // pool and drops its result, before anything it would report to is gone.
    m_backupRunner.reset();
}

void SettingsDialog::buildChildWidgets()
{
    m_hotkeyEdit = new QKeySequenceEdit(QKeySequence(m_working.summonHotkey, QKeySequence::NativeText), this);
    m_hotkeyEdit->hide();
    // A plain QWidget draws a style sheet's border and background only when asked to.
    m_hotkeyEdit->setAttribute(Qt::WA_StyledBackground, true);
    m_hotkeyEdit->setFocusPolicy(Qt::StrongFocus);
    m_hotkeyEdit->installEventFilter(this);
    connect(m_hotkeyEdit, &QKeySequenceEdit::keySequenceChanged, this, [this](const QKeySequence& sequence) {
        m_working.summonHotkey = sequence.toString(QKeySequence::NativeText);
    });

    m_titleEdit = new QLineEdit(m_working.customTitle, this);
    m_titleEdit->setPlaceholderText(translate(u"Quillory"));
    m_titleEdit->setMaxLength(kMaxTitleLength);
    m_titleEdit->hide();
    connect(m_titleEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_working.customTitle = text.trimmed();
        preview();
    });

    m_fontCombo = new ElideCombo(this);
    m_fontCombo->addItem(defaultFontItemText(), QString());
    // Elided like any later choice once it has its size.
    m_fontCombo->setProperty("fullText", m_fontCombo->itemText(0));
    m_fontCombo->hide();
    connect(m_fontCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        m_fontCombo->setProperty("fullText", m_fontCombo->itemText(i));
        m_working.fontFamily = m_fontCombo->itemData(i).toString();
        m_fontCombo->updateElidedText();
        preview();
    });

    for (int n = 0; n < kSliderCount; ++n) {
        auto* slider = new SliderWidget(this);
        const SliderSpec& spec = sliderSpec(n);
        slider->setRange(spec.min, spec.max);
        slider->setKind(spec.kind);
        slider->setValue(sliderFieldValue(m_working, n));
        slider->hide();
        connect(slider, &SliderWidget::valueChanged, this, [this, n](int value) { onSliderChanged(n, value); });
        m_sliders.append(slider);
    }
}

void SettingsDialog::ensureFontList()
{
    // Listing every installed family costs more than the rest of the
    // dialog together; only the appearance page shows the list.
    if (m_fontListFilled)
        return;
    m_fontListFilled = true;
    const QSignalBlocker blocker(m_fontCombo);
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families)
        m_fontCombo->addItem(family, family);
}

SliderWidget* SettingsDialog::sliderByNumber(int number) const
{
    return number >= 0 && number < m_sliders.size() ? m_sliders.at(number) : nullptr;
}

void SettingsDialog::setFactoryResetHandler(Callback handler) { m_onFactoryReset = heldBusy(this, std::move(handler)); }

void SettingsDialog::preview()
{
    if (!m_onApply)
        return;
    // What OK would make of the live settings: the user's edits over the
    // live record, so that what the panel changed meanwhile stays on show.
    AppSettings shown = m_settings ? *m_settings : m_working;
    mergeDialogEdits(shown, m_opened, m_working);
    m_onApply(shown);
}

void SettingsDialog::commitAndAccept()
{
    m_working.customTitle = m_titleEdit->text().trimmed();
    if (m_settings)
        mergeDialogEdits(*m_settings, m_opened, m_working);
    QDialog::accept();
}

void SettingsDialog::reject()
{
    if (m_settings) {
        if (currentLanguage() != m_settings->language) {
            setLanguage(m_settings->language);
            notifyLanguageChanged();
        }
        m_settings->monitorTrigger = m_working.monitorTrigger;
        m_settings->monitorDir = m_working.monitorDir;
        if (m_onApply)
            m_onApply(*m_settings);
    }
    QDialog::reject();
}

void SettingsDialog::done(int result)
{
    if (m_busyDepth > 0) {
        m_closing = true;
        // The prompts still open go with the dialog; each returns "closed"
        // to the action that asked. The progress card of a running backup
        // operation is not a prompt: it goes with its runner.
        const QList<QWidget*> children = findChildren<QWidget*>();
        for (QWidget* w : children) {
            if (!w->isWindow() || !w->isVisible() || (m_backupRunner && w == m_backupRunner->progressDialog()))
                continue;
            if (auto* prompt = qobject_cast<QDialog*>(w))
                prompt->reject();
            else
                w->close();
        }
    }
    QDialog::done(result);
}

bool SettingsDialog::event(QEvent* event)
{
    if (event->type() == QEvent::DeferredDelete && m_busyDepth > 0) {
        // Closed from inside a prompt's event loop: the code that opened the
        // prompt still runs on this dialog.
        m_deletePending = true;
        return true;
    }
    return QDialog::event(event);
}

void SettingsDialog::restoreDefaults()
{
    const QPointer<SettingsDialog> self(this);
    const int answer = m_prompts->ask(
        this, translate(u"恢复默认"),
        translate(u"将把外观与界面相关的设置恢复为初始值（主题、配色、圆角、透明度、图标尺寸、悬停效果、按钮布局、呼出快捷键等）。\n\n程序保护密码、备份与录屏配置、自定义背景/LOGO/按钮图标、界面语言都不会被改动。\n\n是否继续？"));
    if (!self || answer != 1)
        return;

    const AppSettings d;
    AppSettings& w = m_working;
    w.startPinned = d.startPinned;
    w.closeToTray = d.closeToTray;
    w.minimizeToTray = d.minimizeToTray;
    w.autoClassify = d.autoClassify;
    w.iconSize = d.iconSize;
    w.iconSizePortrait = d.iconSizePortrait;
    w.showItemNames = d.showItemNames;
    w.showNewGroupBtn = d.showNewGroupBtn;
    w.horizontalGroups = d.horizontalGroups;
    w.singleClickOpen = d.singleClickOpen;
    w.cornerRadius = d.cornerRadius;
    w.opacity = d.opacity;
    w.clickThroughAtZero = d.clickThroughAtZero;
    w.edgeSnap = d.edgeSnap;
    w.snapRevealPx = d.snapRevealPx;
    w.revealMethod = d.revealMethod;
    w.summonHotkey = d.summonHotkey;
    w.darkTheme = d.darkTheme;
    w.titleBarColor = d.titleBarColor;
    w.titleBarCustomRgb = d.titleBarCustomRgb;
    w.titleBarOpacity = d.titleBarOpacity;
    w.bottomBarColor = d.bottomBarColor;
    w.bottomBarCustomRgb = d.bottomBarCustomRgb;
    w.bottomBarOpacity = d.bottomBarOpacity;
    w.midColor = d.midColor;
    w.midCustomRgb = d.midCustomRgb;
    w.midOpacity = d.midOpacity;
    w.dividerColor = d.dividerColor;
    w.dividerCustomRgb = d.dividerCustomRgb;
    w.dividerWidth = d.dividerWidth;
    w.dividerOpacity = d.dividerOpacity;
    w.hoverMode = d.hoverMode;
    w.hoverColor = d.hoverColor;
    w.hoverCustomRgb = d.hoverCustomRgb;
    w.hoverOpacity = d.hoverOpacity;
    w.borderColor = d.borderColor;
    w.borderCustomRgb = d.borderCustomRgb;
    w.borderOpacity = d.borderOpacity;
    w.textColor = d.textColor;
    w.textCustomRgb = d.textCustomRgb;
    w.textOpacity = d.textOpacity;
    w.showTitle = d.showTitle;
    w.showLogo = d.showLogo;
    w.btnLayoutTitle = d.btnLayoutTitle;
    w.btnLayoutBottom = d.btnLayoutBottom;
    w.btnVisible = d.btnVisible;

    {
        // The editor's change handler would store the text once more.
        const QSignalBlocker blocker(m_hotkeyEdit);
        m_hotkeyEdit->setKeySequence(QKeySequence(w.summonHotkey, QKeySequence::NativeText));
    }
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14})
        m_sliders.at(n)->setValue(sliderFieldValue(w, n));
    {
        const QSignalBlocker blocker(m_titleEdit);
        m_titleEdit->setText(w.customTitle);
    }
    preview();
    applyStyle();
    relayout();
    update();
}

void SettingsDialog::switchPage(int page, bool dropHintToo)
{
    m_currentPage = std::clamp(page, 0, settingspage::kCount - 1);
    m_scroll = 0;
    if (dropHintToo)
        dropHint();
    endThumbDrag();
    m_hoverId = -1;
    m_pressedId = -1;
    relayout();
    update();
}

void SettingsDialog::setCurrentPage(int page) { switchPage(page, true); }

void SettingsDialog::gotoMonitorSettings() { switchPage(settingspage::kProtect, true); }

void SettingsDialog::gotoProtectPage()
{
    if (m_protectUnlocked || ensureProtectAccess())
        switchPage(settingspage::kProtect, true);
}

void SettingsDialog::resetPointerState()
{
    syncProtectionHash();
    if (!isVisible())
        return;
    m_hoverId = -1;
    m_closeHovered = false;
    endThumbDrag();
    relayout();
    update();
}

void SettingsDialog::setScrollOffset(int offset)
{
    m_scroll = m_layout.maxScroll <= 0 ? 0 : std::clamp(offset, 0, m_layout.maxScroll);
    placeChildWidgets();
    update();
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    applyStyle();
    setFocus(Qt::OtherFocusReason);
    endThumbDrag();
    m_hoverId = -1;
    m_closeHovered = false;
    if (mouseGrabber() == this)
        releaseMouse();
    relayout();
}

void SettingsDialog::applyStyle()
{
    const ThemePalette& pal = dialogPalette();
    const bool dark = pal.isDark;
    const QString bg = dark ? QStringLiteral("#2D2D2D") : QStringLiteral("#FDFDFD");
    const QString fg = dark ? QStringLiteral("#F2F2F2") : QStringLiteral("#1A1A1A");
    const QString bd = dark ? QStringLiteral("#3F3F3F") : QStringLiteral("#D6D6D6");
    const QString ac = pal.c[settingsslot::kAccent].name();
    const QString field = QStringLiteral("border:1px solid %1;border-radius:4px;padding:4px 10px;background:%2;color:%3;"
                                         "font-size:12px;font-family:'Microsoft YaHei UI';selection-background-color:%4;")
                              .arg(bd, bg, fg, ac);
    const QString focus = QStringLiteral("border:1px solid %1;background:%2;").arg(ac, bg);
    if (m_hotkeyEdit)
        m_hotkeyEdit->setStyleSheet(QStringLiteral("QKeySequenceEdit{") + field + QStringLiteral("}QKeySequenceEdit:focus{")
                                    + focus + QStringLiteral("}QKeySequenceEdit QLineEdit{border:none;background:transparent;color:")
                                    + fg + QStringLiteral(";}"));
    if (m_titleEdit)
        m_titleEdit->setStyleSheet(QStringLiteral("QLineEdit{") + field + QStringLiteral("}QLineEdit:focus{") + focus
                                   + QStringLiteral("}"));
    if (m_fontCombo)
        m_fontCombo->setStyleSheet(
            QStringLiteral("QComboBox{%1}QComboBox:focus{%2}").arg(field, focus)
            + QStringLiteral("QComboBox::drop-down{border:none;width:22px;}")
            + QStringLiteral("QComboBox::down-arrow{image:none;width:0;height:0;}")
            + QStringLiteral("QComboBox QAbstractItemView{background:%1;color:%2;border:1px solid %3;"
                             "selection-background-color:%4;selection-color:#FFFFFF;outline:none;font-size:12px;"
                             "font-family:'Microsoft YaHei UI';}")
                  .arg(bg, fg, bd, ac));
}
