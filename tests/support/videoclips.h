#pragma once

#include <QSize>
#include <QString>

namespace testsupport {

// Writes a short clip with libav's own MPEG-4 encoder: `frames` frames of
// `size` at `fps`, frame n filled with a grey level that changes with n. The
// container follows the file name (".mp4", ".avi", ".mkv"). False on failure.
bool writeTestClip(const QString& path, const QSize& size, int frames, int fps);

} // namespace testsupport
