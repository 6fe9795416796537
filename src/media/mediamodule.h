#pragma once

#include "media/mediacodecs.h"

#include <QString>
#include <QStringList>

#include <memory>

// The media module (video decoding and MP4 recording), loaded from disk on
// first use and kept for the life of the process. Any thread may ask.
namespace media {

// The module's file name.
QString moduleFileName();

// Where the module is looked for, in order: beside the executable, in
// ../lib/quillory beside it (an installed program), and for a program that
// runs from its build tree, the build tree's media folder.
QStringList moduleFolders();
// Replaces those folders. Only before the first load: tests stand for a
// missing module with a folder that holds none.
void setModuleFolders(const QStringList& folders);

// Loads the module from the first of `folders` that holds a usable one,
// apart from the process's own module (codecs() uses it once), its file in
// `loaded`. Null, with `why` filled, when none does. A loaded module is
// never unloaded.
MediaCodecs* loadModuleFrom(const QStringList& folders, QString* why, QString* loaded = nullptr);

// The module's codecs; null when it cannot be loaded, `why` then saying
// what was missing (the module, a library it needs, or a matching version).
// The first call loads, every later one gives the same answer.
MediaCodecs* codecs(QString* why = nullptr);

// A decoder or an MP4 writer from the module; null with `why` filled when
// the module is not there.
std::unique_ptr<VideoDecoder> newVideoDecoder(QString* why = nullptr);
std::unique_ptr<SegmentWriter> newMp4Writer(QString* why = nullptr);

} // namespace media
