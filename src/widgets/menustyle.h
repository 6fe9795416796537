#pragma once

class QMenu;

// The shared look of the panel's menus: frameless, rounded, in the colours
// of the current palette's light or dark kind and the interface font.
void styleMenu(QMenu* menu);
