#include "settings/settingspagemodel.h"

#include "app/appsettings.h"
#include "settings/valuewidgets.h"

#include <algorithm>

namespace {


SettingsRow row(const char16_t* title, const char16_t* description, int kind, int id)
{
    SettingsRow r;
    r.title = title;
    r.description = description;
    r.kind = kind;
    r.id = id;
    return r;
}

SettingsChip chip(const char16_t* text, int type, int id, int width) { return SettingsChip{text, type, id, width}; }

SettingsSection section(const char16_t* title, const char16_t* description, int glyph, QList<SettingsRow> rows)
{
    SettingsSection s;
    s.title = title;
    s.description = description;
    s.glyph = glyph;
    s.rows = std::move(rows);
    s.ownHeight = 46;
    return s;
}

// A page-1 section: one whole-card chip row.
SettingsSection appearanceSection(const char16_t* title, const char16_t* description, int glyph,
                                  const char16_t* rowTitle, const char16_t* rowDescription,
                                  const QList<SettingsChip>& chips)
{
    SettingsRow r = makeChipRow(rowTitle, rowDescription, chips);
    r.wholeCard = true;
    return section(title, description, glyph, {r});
}

void buildGeneralPage(const AppSettings& s, QList<SettingsSection>& out)
{
    out.append(section(u"语言与主题", u"界面显示语言与面板配色：浅色适合亮色桌面，深色适合暗色桌面，切换后立即生效", 4,
                       {row(u"界面语言", u"界面显示语言：简体中文 / English；切换后立即生效", settingsrow::kSegmented, 4),
                        row(u"界面主题", u"面板配色方案：浅色适合亮色桌面，深色适合暗色桌面，切换后立即生效", settingsrow::kSegmented, 0)}));
    out.append(section(u"窗口", u"置顶、托盘、条目名称与鼠标穿透等面板基础行为", 0,
                       {row(u"启动时自动置顶", u"程序启动后主面板始终显示在最前", settingsrow::kSwitch, 0),
                        row(u"记住窗口大小和位置", u"下次启动恢复本次关闭时的窗口大小与位置", settingsrow::kSwitch, 1),
                        row(u"关闭时隐藏到托盘", u"点击关闭按钮不退出程序，缩到系统托盘图标菜单", settingsrow::kSwitch, 2),
                        row(u"最小化时隐藏到托盘", u"点击最小化按钮缩到系统托盘，不占用任务栏", settingsrow::kSwitch, 3),
                        row(u"显示条目名称", u"在图标下方显示文件名，便于辨认", settingsrow::kSwitch, 5),
                        row(u"透明时鼠标穿透",
                            u"不透明度调到 0% 后，鼠标点击会落到面板后面的文件上；关闭后 0% 时面板依然可点击", settingsrow::kSwitch, 12)}));
    out.append(section(
        u"呼出与吸附",
        u"贴边隐藏与呼出：呼出方式、全局快捷键、边缘吸附与露出宽度；0 为完全隐藏，鼠标靠近屏幕边缘仍可呼出", 1,
        {row(u"面板呼出方式", u"贴边隐藏后附加的呼出操作；鼠标靠近屏幕边缘始终可用", settingsrow::kButton, 7),
         row(u"呼出面板快捷键", u"全局快捷键，在任意程序中按一次即可唤出面板；点击右侧录入", settingsrow::kHotkey, 0),
         makeChipRow(u"靠近屏幕边缘吸附隐藏", nullptr,
                     {chip(u"隐藏后露出像素", settingschip::kSlider, 4, 156), chip(nullptr, settingschip::kSwitch, 6, 60)})}));
    out.append(section(u"启动", u"开机自启与桌面新图标自动归类", 2,
                       {row(u"开机自动启动", u"登录桌面会话后自动运行Quillory", settingsrow::kSwitch, 4),
                        row(u"启动时收纳桌面新图标",
                            u"把桌面上新出现的图标按类型归入「程序 / 文档 / 图片 / 影音 / 压缩包 / 其他」；只新增不移动，不改动桌面文件",
                            settingsrow::kSwitch, 8)}));
    QList<SettingsRow> interaction = {
        row(u"分组布局方式", u"纵向：分组在左侧竖排；横向：分组在上方标签页", settingsrow::kSegmented, 1),
        row(u"打开图标的方式", u"双击运行可防误触；单击运行更快打开", settingsrow::kSegmented, 2),
        row(u"显示新建分组按钮",
            u"纵向布局下，左侧分组栏底部是否显示「＋ 新建分组」按钮；关闭后仍可在分组空白处右键新建分组", settingsrow::kSwitch, 16),
        row(u"悬停方式",
            u"悬停高亮：鼠标所在格子亮起，颜色与不透明度可调；图标动效：悬停的图标平滑放大展示，无底色变化", settingsrow::kSegmented, 3)};
    if (s.hoverMode == 0) {
        SettingsRow hover = makeChipRow(u"悬停颜色",
                                        u"悬停高亮的颜色与不透明度；横屏与竖屏布局均生效；跟随主题时随深浅色自动切换",
                                        {chip(u"不透明度", settingschip::kSlider, 13, 156), chip(u"颜色", settingschip::kColour, 17, 100)});
        hover.wholeCard = true;
        interaction.append(hover);
    }
    out.append(section(u"交互", u"分组排布、打开图标的方式与悬停反馈", 3, interaction));
    QList<SettingsChip> lockChips = {chip(nullptr, settingschip::kValueText, 0, 180), chip(u"选择背景", settingschip::kButton, 233, 100)};
    if (!s.lockBgPath.isEmpty())
        lockChips.append(chip(u"恢复默认", settingschip::kButton, 234, 92));
    out.append(section(
        u"界面锁定",
        u"底栏左侧的锁形按钮可锁定主界面，锁定后需输入「程序保护密码」才能解锁；该密码在「保护」页设置，与混淆保护共用同一套（无法找回，请牢记）；首次点击锁按钮且未设密码时会引导设置，留空即清除密码",
        2,
        {makeChipRow(u"锁屏背景",
                     u"锁定界面的背景：图片（PNG / JPG / BMP）、动图（GIF）或视频（MP4 / WMV / AVI / MKV，静音循环）；横版、竖版窗口都按等比铺满裁切，不设时使用内置动态光晕",
                     lockChips)}));
}

void buildAppearancePage(QList<SettingsSection>& out)
{
    out.append(appearanceSection(
        u"自定义程序名称",
        u"标题栏显示的程序名称，留空则使用默认「Quillory」；关闭「显示标题」后标题栏不显示任何文字，只保留图标与按钮", 8,
        u"程序名称", nullptr, {chip(u"显示标题", settingschip::kSwitch, 13, 60), chip(nullptr, settingschip::kTitleEditor, 0, 218)}));
    out.append(appearanceSection(
        u"自定义程序 LOGO",
        u"标题栏、任务栏与系统托盘显示的图标文件，支持 PNG / JPG / BMP / ICO，建议 32×32 或 64×64 像素；关闭「显示 LOGO」后标题栏不显示图标；「恢复默认 LOGO」把图标恢复为内置的Quillory图标",
        8, u"程序 LOGO", nullptr,
        {chip(u"显示 LOGO", settingschip::kSwitch, 14, 60), chip(u"选择图片", settingschip::kButton, 121, 100),
         chip(u"恢复默认 LOGO", settingschip::kButton, 122, 106)}));
    out.append(appearanceSection(u"图标大小", u"横向与竖向布局下图标网格中每个图标的边长像素", 5, u"图标大小",
                                 u"横向与竖向布局下图标网格中每个图标的边长像素",
                                 {chip(u"横屏", settingschip::kSlider, 0, 156), chip(u"竖屏", settingschip::kSlider, 1, 156)}));
    out.append(appearanceSection(u"窗口效果", u"面板圆角与整体不透明度；调圆角时左侧矩形实时预览", 6, u"窗口外观",
                                 u"面板圆角与整体不透明度",
                                 {chip(u"角弧度", settingschip::kSlider, 2, 156), chip(u"全局不透明度", settingschip::kSlider, 3, 156)}));
    out.append(appearanceSection(
        u"分界线", u"标题栏下 / 底部栏上 / 分类栏与竖屏网格线统一控制", 5, u"分界线",
        u"标题栏下方、底部栏上方、分类栏侧/底、竖屏网格线共用的颜色、粗细与透明度；粗细 0 或透明度 0 均不显示",
        {chip(u"粗细", settingschip::kSlider, 11, 156), chip(u"透明度", settingschip::kSlider, 12, 156), chip(u"颜色", settingschip::kColour, 15, 100)}));
    out.append(appearanceSection(u"标题栏", u"标题栏配色与透明度", 6, u"标题栏", u"标题栏底色与透明程度",
                                 {chip(u"透明度", settingschip::kSlider, 5, 156), chip(u"颜色", settingschip::kColour, 9, 100)}));
    out.append(appearanceSection(u"底部栏", u"底部栏配色与透明度", 6, u"底部栏", u"底部功能栏底色与透明程度",
                                 {chip(u"透明度", settingschip::kSlider, 6, 156), chip(u"颜色", settingschip::kColour, 10, 100)}));
    out.append(appearanceSection(u"中间板块", u"图标区背景的配色与透明度", 6, u"中间板块",
                                 u"侧边栏与图标网格区域的底色与透明程度",
                                 {chip(u"透明度", settingschip::kSlider, 7, 156), chip(u"颜色", settingschip::kColour, 11, 100)}));
    out.append(appearanceSection(
        u"横屏界面背景", u"横向面板使用的背景图片", 5, u"背景",
        u"横向面板的背景：静态图（PNG / JPG / BMP）、动图（GIF）或视频（MP4 / WMV / AVI / MKV，静音循环播放）",
        {chip(u"透明度", settingschip::kSlider, 8, 156), chip(u"选择背景", settingschip::kButton, 124, 100)}));
    out.append(appearanceSection(u"竖屏界面背景", u"竖向面板使用的背景图片，不设时沿用横屏背景", 5, u"背景",
                                 u"竖向（竖版）面板的背景：格式同上；不设置时沿用横屏界面背景",
                                 {chip(u"透明度", settingschip::kSlider, 9, 156), chip(u"选择背景", settingschip::kButton, 127, 100)}));
    out.append(appearanceSection(
        u"文字", u"图标名称、分组名等界面文字的颜色、透明度与字体", 8, u"文字",
        u"图标名称、分组名、说明文字等界面文字的颜色、透明度与字体；跟随主题时随深浅色自动切换；透明度 0% 文字隐藏；「默认」为系统给界面配置的字体，下拉选择后立即生效",
        {chip(nullptr, settingschip::kFontCombo, 0, 0), chip(u"透明度", settingschip::kSlider, 14, 156), chip(u"颜色", settingschip::kColour, 129, 100)}));
    out.append(appearanceSection(u"窗口边框", u"窗口描边的颜色与透明程度；透明度 0% 不显示边框", 6, u"边框",
                                 u"窗口描边的颜色与透明程度；透明度 0% 不显示边框",
                                 {chip(u"透明度", settingschip::kSlider, 10, 156), chip(u"颜色", settingschip::kColour, 120, 100)}));
}

void buildProtectPage(QList<SettingsSection>& out)
{
    out.append(section(
        u"屏幕监控", u"开启底栏监控按钮：满足触发条件即录屏，空闲自动停止，满容量自动切割", 6,
        {makeChipRow(u"存储位置", nullptr,
                     {chip(nullptr, settingschip::kValueText, 0, 170), chip(u"选择目录", settingschip::kButton, 235, 100),
                      chip(u"打开", settingschip::kButton, 236, 70)}),
         row(u"触发条件",
             u"键盘有输入行为或鼠标有移动行为时触发录屏；满足其一即开始，连续无触发达到下方时间即停止", settingsrow::kButton, 18),
         row(u"视频格式",
             u"AVI（MJPG）兼容性最好，任何播放器可回放；MP4（H.264）体积更小，常见播放器都能直接播放",
             settingsrow::kSegmented, 5),
         makeChipRow(u"视频帧率", u"每秒抓取的帧数（2~60，默认 59）；帧率越高画面越连贯，文件也越大",
                     {chip(u"帧率", settingschip::kSlider, 17, 156)}),
         makeChipRow(u"单文件上限", u"单个视频文件达到该大小后自动切割为下一段（10~512 MB）",
                     {chip(u"大小", settingschip::kSlider, 15, 156)}),
         makeChipRow(u"空闲停止", u"连续无触发输入达到该时间后停止录制（10~600 秒，默认 30 秒）",
                     {chip(u"时间", settingschip::kSlider, 16, 156)})}));
}

} // namespace

SettingsRow makeChipRow(const char16_t* title, const char16_t* description, const QList<SettingsChip>& chips)
{
    SettingsRow r;
    r.title = title;
    r.description = description;
    r.kind = settingsrow::kChips;
    r.id = 0;
    r.chips = chips;
    r.wholeCard = false;
    return r;
}

void buildPageModel(int page, const AppSettings& settings, QList<SettingsSection>& out)
{
    out.clear();
    switch (page) {
    case settingspage::kGeneral: buildGeneralPage(settings, out); break;
    case settingspage::kAppearance: buildAppearancePage(out); break;
    case settingspage::kProtect: buildProtectPage(out); break;
    default: break;
    }
    for (SettingsSection& s : out) {
        const bool allWhole = !s.rows.isEmpty()
                           && std::all_of(s.rows.cbegin(), s.rows.cend(), [](const SettingsRow& r) { return r.wholeCard; });
        if (allWhole)
            s.ownHeight = 40;
    }
}

bool* settingsSwitchFlag(AppSettings& s, int n)
{
    using namespace settingsswitch;
    switch (n) {
    case kStartPinned: return &s.startPinned;
    case kRememberGeometry: return &s.rememberGeometry;
    case kCloseToTray: return &s.closeToTray;
    case kMinimizeToTray: return &s.minimizeToTray;
    case kAutoStart: return &s.autoStart;
    case kShowItemNames: return &s.showItemNames;
    case kEdgeSnap: return &s.edgeSnap;
    case kAutoClassify: return &s.autoClassify;
    case kClickThroughAtZero: return &s.clickThroughAtZero;
    case kShowTitle: return &s.showTitle;
    case kShowLogo: return &s.showLogo;
    case kShowNewGroupBtn: return &s.showNewGroupBtn;
    default: return nullptr;
    }
}

bool settingsSwitchValue(const AppSettings& s, int n)
{
    const bool* flag = settingsSwitchFlag(const_cast<AppSettings&>(s), n);
    return flag && *flag;
}

const char16_t* settingsSegmentLabel(int row, int segment)
{
    static const char16_t* const labels[settingssegment::kCount][2] = {
        {u"浅色", u"深色"}, {u"纵向", u"横向"}, {u"双击运行", u"单击运行"},
        {u"悬停高亮", u"图标动效"}, {u"中文", u"English"}, {u"AVI", u"MP4"}};
    if (row < 0 || row >= settingssegment::kCount)
        return u"";
    return labels[row][segment == 0 ? 0 : 1];
}

const SliderSpec& sliderSpec(int number)
{
    static const SliderSpec specs[kSliderCount] = {
        {32, 96, SliderWidget::Pixels, true},     {32, 60, SliderWidget::Pixels, true},
        {0, 24, SliderWidget::Pixels, true},      {0, 100, SliderWidget::Percent, true},
        {0, 24, SliderWidget::Pixels, true},      {0, 100, SliderWidget::Percent, true},
        {0, 100, SliderWidget::Percent, true},    {0, 100, SliderWidget::Percent, true},
        {0, 100, SliderWidget::Percent, true},    {0, 100, SliderWidget::Percent, true},
        {0, 100, SliderWidget::Percent, true},    {0, 4, SliderWidget::Pixels, true},
        {0, 100, SliderWidget::Percent, true},    {0, 100, SliderWidget::Percent, true},
        {0, 100, SliderWidget::Percent, true},    {10, 512, SliderWidget::Megabytes, false},
        {10, 600, SliderWidget::Seconds, false},  {2, 60, SliderWidget::Fps, false}};
    static const SliderSpec none{0, 0, SliderWidget::NoText, false};
    return number >= 0 && number < kSliderCount ? specs[number] : none;
}

int* sliderField(AppSettings& s, int number)
{
    switch (number) {
    case 0: return &s.iconSize;
    case 1: return &s.iconSizePortrait;
    case 2: return &s.cornerRadius;
    case 3: return &s.opacity;
    case 4: return &s.snapRevealPx;
    case 5: return &s.titleBarOpacity;
    case 6: return &s.bottomBarOpacity;
    case 7: return &s.midOpacity;
    case 8: return &s.bgImageOpacity;
    case 9: return &s.bgImageOpacityPortrait;
    case 10: return &s.borderOpacity;
    case 11: return &s.dividerWidth;
    case 12: return &s.dividerOpacity;
    case 13: return &s.hoverOpacity;
    case 14: return &s.textOpacity;
    case 15: return &s.monitorMaxMB;
    case 16: return &s.monitorIdleSec;
    case 17: return &s.monitorFps;
    default: return nullptr;
    }
}

int sliderFieldValue(const AppSettings& s, int number)
{
    const int* field = sliderField(const_cast<AppSettings&>(s), number);
    return field ? *field : 0;
}

const char16_t* colourModeLabel(int mode)
{
    static const char16_t* const labels[7] = {u"跟随主题", u"石墨黑", u"商务蓝", u"墨绿",
                                              u"绛红",     u"珍珠白", u"自定义颜色"};
    return labels[std::clamp(mode, 0, 6)];
}

const char16_t* revealMethodLabel(int method)
{
    static const char16_t* const labels[5] = {u"鼠标靠近", u"按下中键", u"双击中键", u"长按中键", u"长按右键"};
    return labels[std::clamp(method, 0, 4)];
}

const char16_t* revealMethodMenuLabel(int method)
{
    static const char16_t* const labels[5] = {u"鼠标靠近", u"按下鼠标中键", u"双击鼠标中键", u"长按鼠标中键",
                                              u"长按鼠标右键"};
    return labels[std::clamp(method, 0, 4)];
}

const char16_t* monitorTriggerLabel(int trigger)
{
    static const char16_t* const labels[3] = {u"键盘或鼠标输入", u"仅键盘输入", u"仅鼠标输入"};
    return labels[std::clamp(trigger, 0, 2)];
}

const char16_t* settingsPageTitle(int page)
{
    static const char16_t* const titles[settingspage::kCount] = {u"通用设置", u"外观",     u"帮助与关于", u"图标管理",
                                                                  u"屏幕监控", u"保护设置", u"备份与恢复"};
    return page >= 0 && page < settingspage::kCount ? titles[page] : u"";
}

const char16_t* settingsNavLabel(int page)
{
    static const char16_t* const labels[settingspage::kCount] = {u"通用", u"外观", u"帮助与关于", u"图标",
                                                                  u"",     u"保护", u"备份"};
    return page >= 0 && page < settingspage::kCount ? labels[page] : u"";
}
