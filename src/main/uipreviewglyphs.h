#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

// The panel-button glyph sheets of the screenshot mode, in their order:
// uibtn-glyphs.png with uibtn-glyphs-check.txt, rotate-icon-green.png,
// uibtn-obfuscate-frames.png with uibtn-obfuscate-anim-check.txt,
// uibtn-hover-anim.png and uibtn-ink.txt.
void writeUiBtnGlyphSheets(const QString& folder);

// Every glyph twice on a white 632 x 180 sheet, the second colour set in
// the upper row and invalid in the lower one.
QImage renderUiBtnGlyphRows();
// Largest channel difference between the two rows of that sheet; 0 when the
// second colour changes nothing.
int glyphRowsDifference(const QImage& rows);

// Largest difference of any channel between `a` over `areaA` and `b` over
// the same area moved by `offsetB`.
int maxChannelDiff(const QImage& a, const QImage& b, const QRect& areaA, const QPoint& offsetB);
