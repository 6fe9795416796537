#pragma once

#include <QRect>
#include <QString>
#include <QUrl>

class QFontMetrics;

// The help and about page of the settings dialog: one fixed sheet of five
// cards below the page header, with no rows of the page model.

// Its element ids.
namespace aboutid {
constexpr int kVisitSite = 200;
constexpr int kCheckUpdate = 201;
constexpr int kStableChannel = 202;
constexpr int kTestChannel = 203;
constexpr int kTrimMemory = 204;
constexpr int kClearIconCache = 205;
constexpr int kOpenDataDir = 206;
constexpr int kViewLog = 207;
constexpr int kExportLogs = 208;
constexpr int kUninstallKeepData = 209;
constexpr int kUninstallWithData = 210;
constexpr int kFactoryReset = 212;
constexpr int kJoinCommunity = 219;
constexpr int kUserAgreement = 220;
constexpr int kPrivacyPolicy = 221;
constexpr int kLicence = 222;
} // namespace aboutid

// Where everything of the page sits, in content coordinates, for a content
// width w (the dialog's width less 200).
struct AboutPageLayout {
    QRect cards[5];              // identity, update, run information, uninstall, legal texts
    QRect logo;
    QRect visitSite;
    QRect joinCommunity;
    QRect channelSwitch;
    QRect stableHalf;
    QRect testHalf;
    QRect checkUpdate;
    QRect trimMemory;
    QRect clearIconCache;
    QRect openDataDir;
    QRect viewLog;
    QRect exportLogs;
    QRect uninstall[3];          // keep data, remove data, factory reset
    QRect legal[3];              // user agreement, privacy policy, licence
    int contentHeight = 0;       // where the scrolling content ends
};

// The page's rectangles; the legal links are as wide as their labels
// (already measured) plus their padding.
// `buttonWidth`: the width of the right-hand button column, wide enough for
// its longest text; `channelLabelWidth`: the measured update-channel label,
// which the channel switch stays clear of.
AboutPageLayout layoutAboutRects(int w, const int legalLabelWidths[3], int buttonWidth = 100,
                                 int channelLabelWidth = 0);

// The untranslated labels of the three legal links, in order.
const char16_t* aboutLegalLabel(int index);
// The web page a link of the page opens on the web service's host; invalid
// for ids that open none.
QUrl aboutWebUrl(int id);

// The memory line: the working set and its peak in MiB, or "—" when the
// system cannot tell.
QString aboutMemoryText();
// A folder shown on the page: native separators, shortened in the middle so
// that both its start and its last folder stay visible within `width`.
QString aboutFolderText(const QString& path, const QFontMetrics& fm, int width);
