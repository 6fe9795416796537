#pragma once

#include <QString>

// The screenshot mode's picture of an item's context menu,
// folder + "/item-menu.png": every entry of the menu in the current palette,
// with the float entry highlighted, on white.
void previewItemMenu(const QString& folder);
