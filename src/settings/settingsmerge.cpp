#include "settings/settingsmerge.h"

#include "app/appsettings.h"

namespace {

// The fields a control of the dialog writes into its working copy. The
// protection password, the obfuscation map and the lock background are not
// among them: they reach the live settings through their callbacks at once.
template <typename Visit>
void forEachDialogField(Visit&& visit)
{
    visit(&AppSettings::startPinned);
    visit(&AppSettings::rememberGeometry);
    visit(&AppSettings::closeToTray);
    visit(&AppSettings::minimizeToTray);
    visit(&AppSettings::autoStart);
    visit(&AppSettings::iconSize);
    visit(&AppSettings::iconSizePortrait);
    visit(&AppSettings::showItemNames);
    visit(&AppSettings::cornerRadius);
    visit(&AppSettings::opacity);
    visit(&AppSettings::darkTheme);
    visit(&AppSettings::language);
    visit(&AppSettings::horizontalGroups);
    visit(&AppSettings::singleClickOpen);
    visit(&AppSettings::edgeSnap);
    visit(&AppSettings::snapRevealPx);
    visit(&AppSettings::revealMethod);
    visit(&AppSettings::summonHotkey);
    visit(&AppSettings::autoClassify);
    visit(&AppSettings::updateChannel);
    visit(&AppSettings::titleBarColor);
    visit(&AppSettings::titleBarCustomRgb);
    visit(&AppSettings::titleBarOpacity);
    visit(&AppSettings::bottomBarColor);
    visit(&AppSettings::bottomBarCustomRgb);
    visit(&AppSettings::bottomBarOpacity);
    visit(&AppSettings::midColor);
    visit(&AppSettings::midCustomRgb);
    visit(&AppSettings::midOpacity);
    visit(&AppSettings::clickThroughAtZero);
    visit(&AppSettings::customTitle);
    visit(&AppSettings::customLogoPath);
    visit(&AppSettings::bgImagePath);
    visit(&AppSettings::bgImageOpacity);
    visit(&AppSettings::bgImagePortrait);
    visit(&AppSettings::bgImageOpacityPortrait);
    visit(&AppSettings::borderColor);
    visit(&AppSettings::borderCustomRgb);
    visit(&AppSettings::borderOpacity);
    visit(&AppSettings::showTitle);
    visit(&AppSettings::showLogo);
    visit(&AppSettings::textColor);
    visit(&AppSettings::textCustomRgb);
    visit(&AppSettings::textOpacity);
    visit(&AppSettings::fontFamily);
    visit(&AppSettings::dividerColor);
    visit(&AppSettings::dividerCustomRgb);
    visit(&AppSettings::dividerWidth);
    visit(&AppSettings::dividerOpacity);
    visit(&AppSettings::hoverMode);
    visit(&AppSettings::hoverColor);
    visit(&AppSettings::hoverCustomRgb);
    visit(&AppSettings::hoverOpacity);
    visit(&AppSettings::btnVisible);
    visit(&AppSettings::btnIcons);
    visit(&AppSettings::btnIconsHover);
    visit(&AppSettings::btnIconsActive);
    visit(&AppSettings::btnIconsNight);
    visit(&AppSettings::showNewGroupBtn);
    visit(&AppSettings::btnLayoutTitle);
    visit(&AppSettings::btnLayoutBottom);
    visit(&AppSettings::monitorDir);
    visit(&AppSettings::monitorMaxMB);
    visit(&AppSettings::monitorIdleSec);
    visit(&AppSettings::monitorTrigger);
    visit(&AppSettings::monitorFormat);
    visit(&AppSettings::monitorFps);
    visit(&AppSettings::backupAuto);
    visit(&AppSettings::backupIntervalDays);
    visit(&AppSettings::backupRetain);
    visit(&AppSettings::backupDir);
}

} // namespace

void mergeDialogEdits(AppSettings& target, const AppSettings& opened, const AppSettings& working)
{
    forEachDialogField([&](auto member) {
        if (!(working.*member == opened.*member))
            target.*member = working.*member;
    });
}
