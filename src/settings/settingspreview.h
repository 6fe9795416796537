#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
struct PanelGroup;

// The screenshot mode's pictures of the settings dialog, its hint card, the
// log viewer and the backup glyph candidates. Every function renders sample
// data into `folder` (no trailing separator) and leaves the palette and the
// language as it found them. The sample data folder is a display string: no
// function here creates it, nor anything else outside `folder`.

// Appends a group whose items are `paths`, each named after its file's
// complete base name; the group name is translated.
void appendPreviewGroup(QList<PanelGroup>& groups, const QString& name, const QStringList& paths);

// The background-formats hint card over `parent`, saved to `path`.
void previewHintCards(QWidget* parent, const QString& path);

// "settings-lock-default.png" and "settings-lock-custom.png": the general
// page scrolled to the lock background, without and with one.
void previewSettingsGeneral(const QString& folder);
// Every page with the full sample groups (light, then dark), the protection
// page after the groups changed under it, and the log viewer.
void previewSettings258(const QString& folder);
// The protection page with the small sample groups, in both languages, and
// the general and appearance pages scrolled, with the background hint card.
void previewSettingsProtect(const QString& folder);
// The backup page over nine sample snapshots written to
// folder + "/_backup_preview", in both languages.
void previewSettingsBackup(const QString& folder);
// "backup-nav-icons.png": the two candidate backup glyphs side by side.
void previewBackupNavIcons(const QString& folder);

// The sample snapshots: file names and sizes in KiB, newest first.
struct PreviewSnapshot {
    const char* fileName;
    int kib;
};
QList<PreviewSnapshot> previewSnapshots();
