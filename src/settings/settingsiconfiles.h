#pragma once

#include <QString>

class QWidget;
class SettingsPrompts;
struct IconRow;

// The two right-button actions of the icon list: copying an item's custom
// picture elsewhere and exporting an item's built-in icon. Every picker and
// message goes through the prompts given.

// Copies the picture file `source`, byte for byte, to a place the user
// chooses. A file already at that place is replaced in one step, so it is
// never lost when the copy cannot be put there: the copy then stays beside
// it as the target plus ".krv_tmp" and the message names it.
void saveIconAs(QWidget* parent, const QString& source, SettingsPrompts& prompts);

// Writes the shell icon of the row's path, fitted into a transparent
// 256 x 256 picture, as a PNG file the user chooses (fully transparent when
// the path has no icon).
void exportDefaultIcon(QWidget* parent, const IconRow& row, SettingsPrompts& prompts);

// The name proposed for that export: the title with every character that is
// not allowed in a Windows file name replaced by "_", plus ".png", in the
// home folder.
QString proposedIconExportPath(const QString& title);
