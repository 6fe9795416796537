#include "settings/settingsabout.h"

#include "app/lang.h"
#include "app/servicehost.h"
#include "platform/processmemory.h"
#include "settings/settingsstyle.h"

#include <QDir>
#include <QFontMetrics>

#include <algorithm>

namespace {

constexpr int kCardLeft = 176;
constexpr int kInnerLeft = 192;

} // namespace

AboutPageLayout layoutAboutRects(int w, const int legalLabelWidths[3], int buttonWidth, int channelLabelWidth)
{
    AboutPageLayout l;
    const int right = w + 175;
    l.cards[0] = settingsRect(kCardLeft, 78, right, 287);
    l.cards[1] = settingsRect(kCardLeft, 302, right, 401);
    l.cards[2] = settingsRect(kCardLeft, 416, right, 633);
    l.cards[3] = settingsRect(kCardLeft, 647, right, 806);
    l.cards[4] = settingsRect(kCardLeft, 820, right, 923);
    l.logo = settingsRect(kInnerLeft, 87, 235, 130);

    // The right-hand button column of every card.
    const int br = w + 159;
    const int bl = br + 1 - std::max(100, buttonWidth);
    l.visitSite = settingsRect(bl, 217, br, 244);
    l.joinCommunity = settingsRect(bl, 245, br, 272);

    const int sx = std::max(260, kInnerLeft + channelLabelWidth + 12) - 260;
    l.channelSwitch = settingsRect(260 + sx, 360, 435 + sx, 387);
    l.stableHalf = settingsRect(260 + sx, 360, 346 + sx, 387);
    l.testHalf = settingsRect(347 + sx, 360, 435 + sx, 387);
    l.checkUpdate = settingsRect(bl, 360, br, 387);

    l.trimMemory = settingsRect(bl, 474, br, 501);
    l.clearIconCache = settingsRect(bl, 514, br, 541);
    l.openDataDir = settingsRect(bl, 554, br, 581);
    l.viewLog = settingsRect(bl - 8 - (br - bl + 1), 594, bl - 9, 621);
    l.exportLogs = settingsRect(bl, 594, br, 621);

    const int third = (w - 48) / 3;
    int x = kInnerLeft;
    for (QRect& r : l.uninstall) {
        r = QRect(x, 705, third, 28);
        x = r.right() + 1 + 8;
    }
    x = kInnerLeft;
    for (int i = 0; i < 3; ++i) {
        l.legal[i] = QRect(x, 878, legalLabelWidths[i] + 48, 32);
        x = l.legal[i].right() + 1 + 10;
    }
    l.contentHeight = l.cards[4].bottom() + 12;
    return l;
}

const char16_t* aboutLegalLabel(int index)
{
    switch (index) {
    case 0: return u"用户协议";
    case 1: return u"隐私政策";
    default: return u"LGPLV3 许可";
    }
}

QUrl aboutWebUrl(int id)
{
    switch (id) {
    case aboutid::kVisitSite: return serviceUrl(QString());
    case aboutid::kJoinCommunity: return serviceUrl(QStringLiteral("/social.html"));
    case aboutid::kUserAgreement: return serviceUrl(QStringLiteral("/protocol.php?type=user"));
    case aboutid::kPrivacyPolicy: return serviceUrl(QStringLiteral("/protocol.php?type=privacy"));
    case aboutid::kLicence: return serviceUrl(QStringLiteral("/protocol.php?type=lgpl"));
    default: return QUrl();
    }
}

QString aboutMemoryText()
{
    const std::optional<ProcessMemoryFigures> f = processMemory().figures();
    if (!f)
        return QStringLiteral("—");
    const auto mib = [](qint64 bytes) { return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1); };
    return translate(u"%1 MB（本次运行峰值 %2 MB）").arg(mib(f->workingSetBytes), mib(f->peakWorkingSetBytes));
}

QString aboutFolderText(const QString& path, const QFontMetrics& fm, int width)
{
    return fm.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, std::max(0, width));
}
