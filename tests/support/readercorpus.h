#pragma once

#include <QByteArray>
#include <QList>

// Seeds of the readers of untrusted bytes (program icons, icon files, shell
// links) and a deterministic mutator over them: shared by the corpus test
// and the fuzz targets' seed corpora.
namespace readercorpus {

QList<QByteArray> programSeeds();
QList<QByteArray> shortcutSeeds();

// `count` variants of `seed`: cuts, flipped bytes and boundary values
// written over 32-bit and 16-bit fields, from a generator seeded by `seedValue`.
QList<QByteArray> mutations(const QByteArray& seed, int count, quint32 seedValue);

} // namespace readercorpus
