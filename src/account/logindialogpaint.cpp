// Where the sign-in card puts things, and how it draws them.
#include "account/logindialog.h"

#include "account/accountdialogpaint.h"
#include "app/lang.h"
#include "app/theme.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kEditBorder(0xD3, 0xD8, 0xE2);
const QColor kCaptchaFill(0xF4, 0xF6, 0xFA);
const QColor kCaptchaText(0x39, 0x40, 0x4C);
const QColor kErrorRed(0xE8, 0x11, 0x23);
const QColor kSuccessGreen(0x2E, 0xB3, 0x5C);

const QImage& logoImage()
{
    static const QImage logo(QStringLiteral(":/res/resources/logo.png"));
    return logo;
}

// The agreement sentence: plain text and the two links, left to right.
struct SentencePiece {
    const char16_t* text;
    bool link;
};
constexpr SentencePiece kSentence[] = {
    {u"我已阅读并同意", false},
    {u"《用户协议》", true},
    {u"和", false},
    {u"《隐私政策》", true},
};

} // namespace

LoginDialog::Layout LoginDialog::layoutFor(int width, bool signIn)
{
    Layout l;
    l.close = QRect(width - 34, 14, 24, 24);
    const int logo = signIn ? 48 : 52;
    l.logo = QRect((width - logo) / 2, 68 - logo, logo, logo);
    l.title = QRect(24, 76, width - 48, 26);
    l.subtitle = QRect(24, 104, width - 48, 18);
    if (signIn) {
        l.userEdit = QRect(24, 132, width - 48, 42);
        l.passwordEdit = QRect(24, 182, width - 48, 42);
        // Each tick box is as wide as its label needs (box, gap, text).
        const QFontMetrics labels(dialogFont(12, false));
        const auto boxWidth = [&labels](const char16_t* text) {
            return std::max(110, 16 + 8 + labels.horizontalAdvance(translate(text)) + 2);
        };
        l.rememberBox = QRect(24, 234, boxWidth(u"记住密码"), 16);
        const int autoWidth = boxWidth(u"自动登录");
        l.autoLoginBox = QRect(width - 24 - autoWidth, 234, autoWidth, 16);
        l.message = QRect(24, 260, width - 48, 18);
        l.primaryButton = QRect(24, 286, width - 48, 44);
        l.modeSwitch = QRect(24, 340, width - 48, 18);
        return l;
    }
    l.userEdit = QRect(24, 136, width - 48, 40);
    l.passwordEdit = QRect(24, 184, width - 48, 40);
    l.confirmEdit = QRect(24, 232, width - 48, 40);
    l.captchaEdit = QRect(24, 280, 170, 40);
    l.captchaBox = QRect(206, 280, 130, 40);
    l.agreementBox = QRect(24, 332, 16, 16);
    l.message = QRect(24, 352, width - 48, 18);
    l.primaryButton = QRect(24, 374, width - 48, 44);
    l.modeSwitch = QRect(24, 430, width - 48, 18);

    const QFontMetrics fm(dialogFont(12, false));
    int x = l.agreementBox.right() + 8;
    QRect links[2];
    int linkCount = 0;
    for (const SentencePiece& piece : kSentence) {
        const int advance = fm.horizontalAdvance(translate(piece.text));
        if (piece.link && linkCount < 2)
            links[linkCount++] =
                QRect(QPoint(x - 1, l.agreementBox.top() - 4), QPoint(x + advance, l.agreementBox.bottom() + 4));
        x += advance;
    }
    l.userAgreementLink = links[0];
    l.privacyLink = links[1];
    return l;
}

void LoginDialog::relayout()
{
    m_layout = layoutFor(width(), m_signIn);
    const auto place = [](QLineEdit* edit, const QRect& rect) {
        edit->setVisible(!rect.isNull());
        if (!rect.isNull())
            edit->setGeometry(rect);
    };
    place(m_userEdit, m_layout.userEdit);
    place(m_passwordEdit, m_layout.passwordEdit);
    place(m_confirmEdit, m_layout.confirmEdit);
    place(m_captchaEdit, m_layout.captchaEdit);
}

void paintCheckBox(QPainter& p, const QRect& rect, bool ticked, const QString& label, bool hovered,
                   const ThemePalette& pal)
{
    const int x = rect.x();
    const int y = rect.y();
    p.save();
    p.setPen(QPen(hovered ? pal.c[kAccountAccentSlot] : QColor(0xC2, 0xC7, 0xD3), 1.2));
    p.setBrush(ticked ? pal.c[kAccountAccentSlot] : pal.isDark ? QColor(0x2A, 0x2E, 0x38) : QColor(Qt::white));
    p.drawRoundedRect(QRectF(x, y, 16, 16), 4, 4);
    if (ticked) {
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        const QPointF tick[] = {{x + 3.0, y + 8.0}, {x + 6.5, y + 11.0}, {x + 12.0, y + 4.0}};
        p.drawPolyline(tick, 3);
    }
    if (!label.isEmpty()) {
        p.setFont(dialogFont(12, false));
        p.setPen(hovered ? pal.c[kAccountAccentSlot] : pal.c[kAccountSecondarySlot]);
        p.drawText(QRect(QPoint(x + 22, y - 2), QPoint(x + 241, rect.bottom() + 2)), Qt::AlignLeft | Qt::AlignVCenter,
                   label);
    }
    p.restore();
}

void LoginDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    const Layout& l = m_layout;
    const int w = width();
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);

    const int radius = qMax(themeCornerRadius(), 4);
    p.setPen(QPen(pal.c[kAccountBorderSlot], 1));
    p.setBrush(pal.c[kAccountWindowSlot]);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, height() - 1), radius, radius);

    if (!logoImage().isNull())
        p.drawImage(l.logo, logoImage());

    p.setFont(dialogFont(18, true));
    p.setPen(pal.c[kAccountTitleSlot]);
    p.drawText(l.title, Qt::AlignCenter, m_signIn ? translate(u"登录Quillory") : translate(u"注册账号"));
    p.setFont(dialogFont(12, false));
    p.setPen(pal.c[kAccountSecondarySlot]);
    p.drawText(l.subtitle, Qt::AlignCenter,
               m_signIn ? translate(u"欢迎回来，请登录你的账户") : translate(u"创建一个新账户，开启云同步与应用市场"));

    p.setPen(QPen(m_hover == Close ? kErrorRed : pal.c[kAccountSecondarySlot], 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPoint(l.close.x() + 7, l.close.y() + 7), QPoint(l.close.right() - 7, l.close.bottom() - 7));
    p.drawLine(QPoint(l.close.right() - 7, l.close.y() + 7), QPoint(l.close.x() + 7, l.close.bottom() - 7));

    if (!m_message.isEmpty()) {
        const QFont font = dialogFont(12, false);
        const QFontMetrics fm(font);
        // One line: a message longer than the card is shortened rather than
        // cut off at both edges.
        const QString text = fm.elidedText(m_message, Qt::ElideRight, l.message.width() - 14);
        const int a = fm.horizontalAdvance(text);
        const int x0 = (w - 1 - a - 13) / 2;
        const int cy = (l.message.top() + l.message.bottom()) / 2;
        const QColor color = m_messageIsError ? kErrorRed : kSuccessGreen;
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QRectF(x0, cy - 2.5, 6, 6));
        p.setFont(font);
        p.setPen(color);
        p.drawText(QRect(x0 + 14, l.message.top(), a, l.message.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    }

    const QColor accent = pal.c[kAccountAccentSlot];
    p.setPen(Qt::NoPen);
    p.setBrush(m_busy ? accent.darker(110) : m_hover == PrimaryButton ? accent.lighter(105) : accent);
    p.drawRoundedRect(l.primaryButton, 12, 12);
    p.setFont(dialogFont(15, true));
    p.setPen(Qt::white);
    p.drawText(l.primaryButton, Qt::AlignCenter,
               m_busy ? translate(u"请稍候…") : m_signIn ? translate(u"登 录") : translate(u"注 册"));

    p.setFont(dialogFont(12, false));
    p.setPen(m_hover == ModeSwitch ? accent : pal.c[kAccountSecondarySlot]);
    p.drawText(l.modeSwitch, Qt::AlignCenter,
               m_signIn ? translate(u"还没有账号？点此注册") : translate(u"已有账号？返回登录"));

    if (!m_signIn) {
        paintSignUpExtras(p, pal);
        return;
    }
    paintCheckBox(p, l.rememberBox, m_remember, translate(u"记住密码"), m_hover == RememberBox, pal);
    paintCheckBox(p, l.autoLoginBox, m_autoLogin, translate(u"自动登录"), m_hover == AutoLoginBox, pal);
}

void LoginDialog::paintSignUpExtras(QPainter& p, const ThemePalette& pal)
{
    const Layout& l = m_layout;
    const QRect box = l.captchaBox;
    const bool boxHovered = m_hover == CaptchaBox;
    p.setPen(QPen(kEditBorder, 1));
    p.setBrush(boxHovered ? pal.c[kAccountSoftFillSlot] : kCaptchaFill);
    p.drawRoundedRect(box, 10, 10);
    // The box is narrow: a longer text (the failure hint, a long question)
    // gets a smaller font instead of losing both ends.
    const QRect textRect(QPoint(box.x() + 10, box.top()), QPoint(box.right() - 24, box.bottom()));
    QFont captchaFont = dialogFont(13, true);
    while (captchaFont.pixelSize() > 10
           && QFontMetrics(captchaFont).horizontalAdvance(m_captchaQuestion) > textRect.width())
        captchaFont.setPixelSize(captchaFont.pixelSize() - 1);
    p.setFont(captchaFont);
    p.setPen(kCaptchaText);
    p.drawText(textRect, Qt::AlignCenter,
               QFontMetrics(captchaFont).elidedText(m_captchaQuestion, Qt::ElideRight, textRect.width()));
    const double cx = box.right() - 14;
    const double cy = (box.top() + box.bottom()) / 2;
    p.setPen(QPen(boxHovered ? pal.c[kAccountAccentSlot] : pal.c[kAccountSecondarySlot], 1.3, Qt::SolidLine,
                  Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(cx - 4.5, cy - 4.5, 9, 9), 40 * 16, 260 * 16);
    p.drawLine(QPointF(cx + 4.6, cy - 2.2), QPointF(cx + 4.6, cy + 0.6));
    p.drawLine(QPointF(cx + 4.6, cy + 0.6), QPointF(cx + 1.8, cy + 0.6));

    paintCheckBox(p, l.agreementBox, m_agreed, QString(), m_hover == AgreementBox, pal);
    const QFont font = dialogFont(12, false);
    const QFontMetrics fm(font);
    p.setFont(font);
    int x = l.agreementBox.right() + 8;
    for (const SentencePiece& piece : kSentence) {
        const QString text = translate(piece.text);
        const int advance = fm.horizontalAdvance(text);
        p.setPen(piece.link ? pal.c[kAccountAccentSlot] : pal.c[kAccountSecondarySlot]);
        p.drawText(QRect(QPoint(x, l.agreementBox.top() - 3), QPoint(x + advance + 1, l.agreementBox.bottom() + 3)),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
        x += advance;
    }
}
