#pragma once

#include <QSize>
#include <QString>

// The screenshot mode's pictures of the password dialog and the lock screen,
// rendered with sample data into `folder` (no trailing separator).

// "lock-dialog-set.png", "lock-dialog-unlock.png" (with a wrong-password
// error) and "lock-dialog-change.png".
void previewLockDialogs(const QString& folder);

// The lock screen at `size` saved as folder + "/" + `name`: never shown, so
// every animated value keeps its start value. An empty `background` keeps
// the built-in backdrop.
void renderLockOverlayShot(const QString& folder, const QString& name, const QSize& size, const QString& background);

// The lock screen in landscape, portrait and dark, with the password entry
// open, and over a sample photo (written beside the shots and removed again).
void previewLockOverlays(const QString& folder);
