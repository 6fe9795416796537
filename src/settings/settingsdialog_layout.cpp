// The settings dialog's relayout: the page model turned into rectangles,
// the icon rows of the appearance and icons pages, and the child widgets
// placed over the painted rows.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "model/panelmodel.h"
#include "settings/valuewidgets.h"
#include "widgets/uibtn.h"

#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

constexpr int kSettingsButton = 1;

QString listEntry(const QStringList& list, int i) { return i >= 0 && i < list.size() ? list.at(i) : QString(); }

} // namespace

void SettingsDialog::relayout()
{
    buildPageModel(m_currentPage, m_working, m_model);
    layoutSettingsFrame(m_layout, m_dialogWidth, m_dialogHeight);
    m_iconRows.clear();
    if (m_currentPage != settingspage::kProtect) {
        m_protectRows.clear();
        m_protectLayout = ProtectCardLayout();
    }
    switch (m_currentPage) {
    case settingspage::kIcons: {
        buildItemRows();
        primeProtectIcons();
        IconListShape shape;
        if (m_groups)
            for (const PanelGroup& g : *m_groups)
                shape.groupItemCounts.append(int(g.items.size()));
        for (const IconRow& r : m_iconRows)
            shape.itemHasCustomIcon.append(!r.iconLight.isEmpty());
        layoutIconList(m_layout, shape);
        break;
    }
    case settingspage::kAppearance: {
        const int y = layoutSettingsSections(m_layout, m_model, m_working);
        buildButtonRows();
        QList<ButtonRowShape> shapes;
        for (const IconRow& r : m_iconRows) {
            ButtonRowShape s;
            s.hideable = r.btnId != kSettingsButton;
            s.light = !r.iconLight.isEmpty();
            s.dark = !r.iconDark.isEmpty();
            s.hover = !r.iconHover.isEmpty();
            s.active = !r.iconActive.isEmpty();
            shapes.append(s);
        }
        layoutButtonRows(m_layout, shapes, y);
        break;
    }
    case settingspage::kBackup:
        layoutSettingsSections(m_layout, m_model, m_working);
        layoutBackupPage();
        break;
    case settingspage::kProtect:
        layoutProtectPage(m_dialogWidth - 200, layoutSettingsSections(m_layout, m_model, m_working));
        break;
    case settingspage::kAbout: layoutAboutPage(m_dialogWidth - 200); break;
    default:
        layoutSettingsSections(m_layout, m_model, m_working);
        break;
    }
    m_scroll = finishSettingsLayout(m_layout, m_currentPage, m_scroll);
    placeChildWidgets();
}

void SettingsDialog::buildButtonRows()
{
    m_iconRows.clear();
    for (int id = 0; id < kUiBtnCount; ++id) {
        IconRow r;
        r.btnId = id;
        r.subtitle = translate(u"默认图标");
        r.title = uiBtnLabel(id);
        r.hidden = id < m_working.btnVisible.size() ? !m_working.btnVisible.at(id) : false;
        r.iconLight = listEntry(m_working.btnIcons, id);
        r.iconDark = listEntry(m_working.btnIconsNight, id);
        r.iconHover = listEntry(m_working.btnIconsHover, id);
        r.iconActive = listEntry(m_working.btnIconsActive, id);
        m_iconRows.append(r);
    }
}

void SettingsDialog::buildItemRows()
{
    m_iconRows.clear();
    if (!m_groups)
        return;
    for (int g = 0; g < m_groups->size(); ++g) {
        const PanelGroup& group = m_groups->at(g);
        for (int i = 0; i < group.items.size(); ++i) {
            const PanelItem& item = group.items.at(i);
            IconRow r;
            r.groupIndex = g;
            r.itemIndex = i;
            r.subtitle = group.name;
            r.title = item.name;
            r.path = item.path;
            r.hidden = item.hidden;
            r.iconLight = item.customIcon;
            m_iconRows.append(r);
        }
    }
}

void SettingsDialog::placeChildWidgets()
{
    for (SliderWidget* s : std::as_const(m_sliders))
        s->hide();
    m_hotkeyEdit->hide();
    m_titleEdit->hide();
    m_fontCombo->hide();

    const int visibleBottom = m_dialogHeight - settingsgeom::kFooterHeight;
    const int s = m_scroll;
    for (int si = 0; si < m_model.size() && si < m_layout.rows.size(); ++si) {
        const SettingsSection& section = m_model.at(si);
        const QList<SettingsRowRects>& rects = m_layout.rows.at(si);
        for (int ri = 0; ri < section.rows.size() && ri < rects.size(); ++ri) {
            const SettingsRow& row = section.rows.at(ri);
            const SettingsRowRects& rr = rects.at(ri);
            const int t = rr.row.top();
            const int u = rr.row.right();
            switch (row.kind) {
            case settingsrow::kHotkey: {
                const int y = t - s + 2;
                if (y > 29 && y + 29 < visibleBottom) {
                    m_hotkeyEdit->setGeometry(u - 120, y, 120, 30);
                    m_hotkeyEdit->show();
                }
                break;
            }
            case settingsrow::kTitleEditor: {
                const int y = t - s + 2;
                if (y > 59 && y + 27 < visibleBottom) {
                    m_titleEdit->setGeometry(u - 250, y, 250, 28);
                    m_titleEdit->show();
                }
                break;
            }
            case settingsrow::kSlider: {
                SliderWidget* slider = sliderByNumber(row.id);
                const int y = t - s + 3;
                if (slider && y > 59 && y + 27 < visibleBottom) {
                    slider->setGeometry(u - 250, y, 250, 28);
                    slider->show();
                }
                break;
            }
            case settingsrow::kChips:
                for (int k = 0; k < row.chips.size() && k < rr.chips.size(); ++k) {
                    const SettingsChip& chip = row.chips.at(k);
                    const QRect& c = rr.chips.at(k);
                    QWidget* w = nullptr;
                    if (chip.type == settingschip::kSlider)
                        w = sliderByNumber(chip.id);
                    else if (chip.type == settingschip::kTitleEditor)
                        w = m_titleEdit;
                    else if (chip.type == settingschip::kFontCombo)
                        w = m_fontCombo;
                    if (chip.type == settingschip::kFontCombo)
                        syncFontCombo();
                    const int y = c.top() - s;
                    if (w && y > 59 && y + 27 < visibleBottom) {
                        w->setGeometry(c.left(), y, c.width(), 28);
                        w->show();
                    }
                }
                break;
            default: break;
            }
        }
    }
    updateSettingsScrollBar(m_layout, m_currentPage, m_scroll);
}

void SettingsDialog::syncFontCombo()
{
    ensureFontList();
    const int i = m_fontCombo->findData(m_working.fontFamily, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0 || i == m_fontCombo->currentIndex())
        return;
    {
        const QSignalBlocker blocker(m_fontCombo);
        m_fontCombo->setCurrentIndex(i);
    }
    m_fontCombo->setProperty("fullText", m_fontCombo->itemText(i));
    m_fontCombo->updateElidedText();
}

bool SettingsDialog::hitTest(const QPoint& pos, int id) const
{
    if (id == settingsid::kRestoreDefaults)
        return m_layout.restoreDefaults.contains(pos);
    if (id == settingsid::kCancel)
        return m_layout.cancel.contains(pos);
    if (id == settingsid::kOk)
        return m_layout.ok.contains(pos);
    const QRect viewport = settingsgeom::contentViewport(m_dialogWidth, m_dialogHeight);
    for (const HitRect& h : m_layout.hits) {
        if (h.id != id)
            continue;
        if (h.content ? viewport.contains(pos) && h.rect.contains(pos + QPoint(0, m_scroll)) : h.rect.contains(pos))
            return true;
    }
    return false;
}
