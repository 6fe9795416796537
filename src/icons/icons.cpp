#include "icons/iconprobe.h"
#include "icons/iconservice.h"

// Placeholders until the icon service lands.
void clearIconPixmapCache() {}
void runIconProbe(const QString&) {}
