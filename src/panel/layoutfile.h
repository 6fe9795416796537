#pragma once

#include "model/panelmodel.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

class QIODevice;

// Group names are kept to this many UTF-16 units when loaded.
constexpr int kMaxGroupNameUnits = 64;

// The first kMaxGroupNameUnits units of a name, one fewer when the cut would
// leave half of a surrogate pair at the end.
QString limitGroupName(const QString& name);

// The "layout.json" object of a group list. Every item key is written, empty
// strings and false included.
QJsonObject layoutToJson(const QList<PanelGroup>& groups);

// Reads a group list from a layout object. Lenient: wrong types read as empty
// or false, non-object elements as empty objects, unknown keys are ignored.
// Items without a path are dropped, names are limited, and an empty result
// becomes one empty group named `fallbackGroupName`. When anything but a
// null is dropped or cut that way, `loss` (may be null) gets the first such
// thing, for the log; it stays empty otherwise.
QList<PanelGroup> layoutFromJson(const QJsonObject& root, const QString& fallbackGroupName,
                                 QString* loss = nullptr);

// The indented UTF-8 document written to "layout.json".
QByteArray serializeLayout(const QList<PanelGroup>& groups);

// What a layout file turned out to hold.
enum class LayoutFileState {
    Loaded,     // a JSON object; `groups` holds its content
    Missing,    // nothing at the path
    Empty,      // a file of 0 bytes
    Unreadable, // a regular file that could not be opened or read
    NotRegular, // a link, FIFO, folder or device in place of the file
    Damaged,    // bytes that are not valid JSON
    NotObject,  // valid JSON whose top level is not an object
};

struct LayoutRead {
    LayoutFileState state = LayoutFileState::Missing;
    QList<PanelGroup> groups; // only for Loaded
    QString error;            // why it was not Loaded, or what was dropped
    // Loaded, but the lenient rules dropped something of the file's content;
    // `bytes` then holds the file as read, for a copy before it is saved over.
    bool partlyRead = false;
    QByteArray bytes;
};

// Parses the bytes of a layout file (never Missing or Unreadable).
LayoutRead parseLayout(const QByteArray& bytes, const QString& fallbackGroupName);

// Reads everything from an open device and parses it; a read error gives
// Unreadable.
LayoutRead readLayout(QIODevice& device, const QString& fallbackGroupName);

// Reads the regular file at `path`, at most kMaxConfigFileBytes (more is
// Damaged); links are not followed.
LayoutRead readLayoutFile(const QString& path, const QString& fallbackGroupName);

// True for the states in which something of the user's is at the path that
// must be set aside rather than overwritten.
inline bool layoutNeedsPreserving(LayoutFileState s)
{
    return s == LayoutFileState::Unreadable || s == LayoutFileState::Damaged
        || s == LayoutFileState::NotObject || s == LayoutFileState::NotRegular;
}
