#pragma once

// Drops every cached icon pixmap.
void clearIconPixmapCache();
