#include "widgets/logviewerdialog.h"

#include "app/asynctask.h"
#include "app/lang.h"
#include "app/logging.h"
#include "app/paths.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "widgets/logviewercontent.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int kWindowBgSlot = 0;
constexpr int kFrameBorderSlot = 3;
constexpr int kSecondaryGlyphSlot = 5;
constexpr int kHoverFillSlot = 13;
constexpr int kStrongTextSlot = 16;
constexpr int kMutedTextSlot = 18;
constexpr int kAccentSlot = 28;
constexpr int kAccentTintSlot = 30;
constexpr int kDragStripHeight = 52;

QString labelStyleSheet(const QString& colour, const QString& pixelSize, bool bold)
{
    return QStringLiteral("color:%1;font-size:%2px;%3font-family:'Microsoft YaHei UI';background:transparent;")
        .arg(colour, pixelSize, bold ? QStringLiteral("font-weight:bold;") : QString());
}

QLabel* captionLabel(const char* text)
{
    auto* label = new QLabel(translate(text));
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

QLabel* valueLabel()
{
    auto* label = new QLabel;
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

LogViewerDialog::LogViewerDialog(const QString& dataDir, QWidget* parent, const QString& logFolder)
    : QDialog(parent), dataDir(dataDir), logFolder(logFolder.isEmpty() ? logRoot() : logFolder)
{
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    WindowShape::install(this, [] { return 12.0; });
    setAttribute(Qt::WA_MouseTracking, true);
    setMouseTracking(true);
    setModal(true);

    if (parent) {
        const QRect p = parent->geometry();
        const int w = qMin(p.width(), 920);
        const int h = qBound(480, p.height() - 40, 680);
        resize(w, h);
        move(p.topLeft() + QPoint((p.width() - w) / 2, (p.height() - h) / 2));
    } else {
        resize(920, 680);
        move(120, 120);
    }

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 0, 20, 0);
    root->setSpacing(0);

    auto* titleBlock = new QVBoxLayout;
    titleBlock->setContentsMargins(36, 16, 0, 8);
    titleBlock->setSpacing(0);
    titleLabel = new QLabel(translate("运行日志"));
    titleBlock->addWidget(titleLabel);
    root->addLayout(titleBlock);

    auto* infoCard = new QFrame;
    infoCard->setObjectName(QStringLiteral("infoCard"));
    auto* infoRow = new QHBoxLayout(infoCard);
    infoRow->setContentsMargins(16, 9, 16, 9);
    infoRow->setSpacing(18);
    const auto column = [&](QLabel* caption, QLabel* value, int stretch) {
        auto* col = new QVBoxLayout;
        col->setSpacing(2);
        col->addWidget(caption);
        col->addWidget(value);
        infoRow->addLayout(col, stretch);
    };
    versionCaption = captionLabel("版本");
    osCaption = captionLabel("系统");
    logFileCaption = captionLabel("日志文件");
    versionValue = valueLabel();
    osValue = valueLabel();
    logFileValue = valueLabel();
    // A deep log path must not widen the dialog; the label is cut instead.
    logFileValue->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column(versionCaption, versionValue, 0);
    infoRow->addWidget(makeSeparator());
    column(osCaption, osValue, 0);
    infoRow->addWidget(makeSeparator());
    column(logFileCaption, logFileValue, 1);
    root->addWidget(infoCard);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 12, 0, 10);
    buttons->setSpacing(8);
    const auto button = [&](const char* text) {
        auto* b = new QPushButton(translate(text));
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumHeight(30);
        buttons->addWidget(b);
        return b;
    };
    refreshButton = button("刷新");
    refreshButton->setObjectName(QStringLiteral("primary"));
    copyButton = button("复制日志");
    folderButton = button("日志文件夹");
    exportTextButton = button("导出文本");
    exportZipButton = button("导出压缩包");
    buttons->addStretch();
    autoScrollBox = new QCheckBox(translate("自动滚动"));
    autoScrollBox->setChecked(true);
    buttons->addWidget(autoScrollBox);
    root->addLayout(buttons);

    auto* logCard = new QFrame;
    logCard->setObjectName(QStringLiteral("logCard"));
    auto* logLayout = new QVBoxLayout(logCard);
    logLayout->setContentsMargins(12, 10, 10, 10);
    logView = new QPlainTextEdit;
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont mono(QStringLiteral("Consolas"), 9);
    mono.setFamilies({ QStringLiteral("Consolas"), QStringLiteral("Courier New"), QStringLiteral("Microsoft YaHei UI") });
    logView->setFont(mono);
    logLayout->addWidget(logView);
    root->addWidget(logCard, 1);

    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(0, 0, 0, 10);
    statusRow->setSpacing(8);
    statusLabel = new QLabel;
    timeLabel = new QLabel;
    statusRow->addWidget(statusLabel, 1);
    statusRow->addWidget(timeLabel, 0, Qt::AlignRight | Qt::AlignVCenter);
    root->addLayout(statusRow);

    connect(refreshButton, &QPushButton::clicked, this, &LogViewerDialog::reload);
    connect(copyButton, &QPushButton::clicked, this, &LogViewerDialog::copyLog);
    connect(folderButton, &QPushButton::clicked, this, &LogViewerDialog::openLogFolder);
    connect(exportTextButton, &QPushButton::clicked, this, &LogViewerDialog::exportText);
    connect(exportZipButton, &QPushButton::clicked, this, &LogViewerDialog::exportZip);

    closeRect = closeRectFor(width());
    applyTheme();
    reload();
}

QRect LogViewerDialog::closeRectFor(int width)
{
    return QRect(QPoint(width - 44, 10), QPoint(width - 11, 39));
}

QFrame* LogViewerDialog::makeSeparator()
{
    auto* sep = new QFrame;
    sep->setObjectName(QStringLiteral("infoSep"));
    sep->setFrameShape(QFrame::VLine);
    sep->setFixedWidth(1);
    return sep;
}

QString LogViewerDialog::statusText() const
{
    return statusLabel->text();
}

void LogViewerDialog::reload()
{
    const QString version = appVersionString();
    const QString system = systemVersionText();
    versionValue->setText(QStringLiteral("v") + version);
    osValue->setText(system);

    LogHeaderFacts facts;
    facts.commandLine = QCoreApplication::arguments().join(QLatin1Char(' '));
    facts.executable = QCoreApplication::applicationFilePath();
    facts.workingDir = QDir::currentPath();
    facts.dataDir = dataDir;
    facts.logRoot = logFolder;
    facts.version = version;
    facts.system = system;
    facts.qtVersion = QString::fromLatin1(qVersion());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        facts.screenName = screen->name();
        facts.devicePixelRatio = screen->devicePixelRatio();
    }
    struct Read {
        QString logFile;
        QString content;
    };
    const QString root = facts.logRoot;
    AsyncTask::runThenCallback(
        [root] {
            Read read;
            read.logFile = findLogFile(root);
            read.content = readLogContent(read.logFile);
            return read;
        },
        this,
        [this, facts](const Read& read) mutable {
            facts.logFile = read.logFile;
            logFileValue->setText(QDir::toNativeSeparators(read.logFile));
            logView->setPlainText(logHeaderText(facts) + read.content);
            if (autoScrollBox->isChecked())
                logView->verticalScrollBar()->setValue(logView->verticalScrollBar()->maximum());
            updateInfoLine();
        });
}

void LogViewerDialog::updateInfoLine()
{
    statusLabel->setText(translate("%1 行 · 明文展示").arg(logView->document()->blockCount()));
    timeLabel->setText(translate("更新于 %1").arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
}

void LogViewerDialog::applyTheme()
{
    const ThemePalette& pal = currentTheme();
    const bool dark = pal.isDark;
    const auto name = [](const QColor& c) { return c.name(); };
    titleLabel->setStyleSheet(labelStyleSheet(name(pal.c[kStrongTextSlot]), QStringLiteral("17"), true));
    for (QLabel* l : { versionCaption, osCaption, logFileCaption })
        l->setStyleSheet(labelStyleSheet(name(pal.c[kMutedTextSlot]), QStringLiteral("10"), false));
    for (QLabel* l : { versionValue, osValue, logFileValue })
        l->setStyleSheet(labelStyleSheet(name(pal.c[kStrongTextSlot]), QStringLiteral("12"), true));
    for (QLabel* l : { statusLabel, timeLabel })
        l->setStyleSheet(labelStyleSheet(name(pal.c[kMutedTextSlot]), QStringLiteral("11"), false));

    const QString cardBg = dark ? QStringLiteral("#202020") : QStringLiteral("#f7f8fb");
    const QString cardBorder = dark ? QStringLiteral("#2e2e2e") : QStringLiteral("#e6e8ee");
    for (QFrame* frame : findChildren<QFrame*>()) {
        if (frame->objectName() == QLatin1String("infoCard")) {
            frame->setStyleSheet(QStringLiteral("QFrame#infoCard{background:%1;border:1px solid %2;border-radius:8px;}").arg(cardBg, cardBorder));
            frame->setContentsMargins(0, 0, 0, 0);
        } else if (frame->objectName() == QLatin1String("logCard")) {
            frame->setStyleSheet(QStringLiteral("QFrame#logCard{background:%1;border:1px solid %2;border-radius:8px;}")
                                     .arg(dark ? QStringLiteral("#1b1b1b") : QStringLiteral("#ffffff"), cardBorder));
        } else if (frame->objectName() == QLatin1String("infoSep")) {
            frame->setStyleSheet(QStringLiteral("QFrame#infoSep{background:%1;border:none;}").arg(cardBorder));
        }
    }

    const QString buttonStyle =
        QStringLiteral("QPushButton{background:%1;color:%2;border:1px solid %3;border-radius:6px;padding:5px 16px;font-size:12px;"
                       "font-family:'Microsoft YaHei UI';}QPushButton:hover{background:%4;border-color:%5;color:%5;}"
                       "QPushButton:pressed{background:%5;color:#FFFFFF;}")
            .arg(dark ? QStringLiteral("#2a2a2a") : QStringLiteral("#ffffff"), dark ? QStringLiteral("#e6e6e6") : QStringLiteral("#1a1a1a"),
                 name(pal.c[32]), dark ? QStringLiteral("#333333") : QStringLiteral("#f2f3f6"), name(pal.c[29]));
    for (QPushButton* b : { refreshButton, copyButton, folderButton, exportTextButton, exportZipButton })
        b->setStyleSheet(buttonStyle);
    refreshButton->setStyleSheet(
        QStringLiteral("QPushButton{background:%1;color:%2;border:1px solid %3;border-radius:6px;padding:5px 16px;font-size:12px;"
                       "font-weight:bold;font-family:'Microsoft YaHei UI';}QPushButton:hover{background:%3;color:#FFFFFF;border-color:%3;}")
            .arg(name(pal.c[kAccentTintSlot]), name(pal.c[kAccentSlot]), name(pal.c[kAccentSlot])));
    autoScrollBox->setStyleSheet(
        QStringLiteral("QCheckBox{color:%1;font-size:12px;font-family:'Microsoft YaHei UI';background:transparent;spacing:5px;}"
                       "QCheckBox::indicator{width:15px;height:15px;border:1px solid %2;border-radius:3px;background:%3;}"
                       "QCheckBox::indicator:checked{background:%4;border-color:%4;}")
            .arg(name(pal.c[kStrongTextSlot]), name(pal.c[32]), dark ? QStringLiteral("#333333") : QStringLiteral("#ffffff"),
                 name(pal.c[kAccentSlot])));
    logView->setStyleSheet(
        QStringLiteral("QPlainTextEdit{background:%1;color:%2;border:none;font-family:'Consolas','Microsoft YaHei UI',monospace;"
                       "font-size:12px;selection-background-color:%3;}"
                       "QScrollBar:vertical{background:transparent;width:10px;margin:2px;}"
                       "QScrollBar::handle:vertical{background:%4;border-radius:4px;min-height:30px;}"
                       "QScrollBar:horizontal{background:transparent;height:10px;margin:2px;}"
                       "QScrollBar::handle:horizontal{background:%4;border-radius:4px;min-width:30px;}"
                       "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0;}"
                       "QScrollBar::add-line:horizontal,QScrollBar::sub-line:horizontal{width:0;}")
            .arg(QStringLiteral("transparent"), dark ? QStringLiteral("#d8d8d8") : QStringLiteral("#20242c"), name(pal.c[kAccentSlot]),
                 dark ? QStringLiteral("#4a4a4a") : QStringLiteral("#c9cdd6")));
}

void LogViewerDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pal.c[kFrameBorderSlot], 1.0));
    p.setBrush(pal.c[kWindowBgSlot]);
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 12, 12);

    p.setPen(Qt::NoPen);
    p.setBrush(pal.c[kAccentTintSlot]);
    p.drawEllipse(QRectF(17, 15, 26, 26));
    QPen glyph(pal.c[kAccentSlot], 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(glyph);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(24, 20.5, 12, 15), 2.5, 2.5);
    p.drawLine(QPointF(27.5, 25.5), QPointF(32.5, 25.5));
    p.drawLine(QPointF(27.5, 29), QPointF(32.5, 29));
    p.drawLine(QPointF(27.5, 32.5), QPointF(30.5, 32.5));

    const QPointF c = QRectF(closeRect).center();
    QColor cross = pal.c[kSecondaryGlyphSlot];
    if (closeHovered) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.c[kHoverFillSlot]);
        p.drawEllipse(c, 11, 11);
        cross = pal.c[kStrongTextSlot];
    }
    p.setPen(QPen(cross, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
    p.drawLine(c + QPointF(4, -4), c + QPointF(-4, 4));
}

void LogViewerDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    closeRect = closeRectFor(width());
}

void LogViewerDialog::mousePressEvent(QMouseEvent* event)
{
    closeRect = closeRectFor(width());
    if (event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(event);
    if (closeRect.contains(event->position().toPoint())) {
        reject();
        return;
    }
    // Only the title strip moves the window; presses below it belong to
    // the text and the buttons.
    if (event->position().y() >= kDragStripHeight)
        return QDialog::mousePressEvent(event);
    dragging = true;
    dragOffset = event->position().toPoint();
}

void LogViewerDialog::mouseMoveEvent(QMouseEvent* event)
{
    const bool hovered = closeRect.contains(event->position().toPoint());
    if (hovered != closeHovered) {
        closeHovered = hovered;
        if (hovered)
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
        update(closeRect.adjusted(-2, -2, 2, 2));
    }
    if (dragging)
        move(event->globalPosition().toPoint() - dragOffset);
}

void LogViewerDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
    QDialog::mouseReleaseEvent(event);
}
