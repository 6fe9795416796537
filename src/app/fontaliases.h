#pragma once

// Makes the Windows font names the interface asks for ("Microsoft YaHei UI",
// "Microsoft YaHei", "Consolas") resolve to installed faces: a CJK sans
// serif and a monospace face. Qt tries these substitutes before any other
// fallback, so the result does not depend on the machine's fontconfig
// setup. Call once, right after the QApplication exists.
void installFontAliases();

// Fills the font database and works out the fallback faces of the default
// interface font on a pool thread, so that the first widget that measures a
// label finds them done. Both are shared by all threads; what stays per
// thread (the loaded faces) is cheap once they are. Call after
// installFontAliases(), and only where the application is never destroyed
// (the task is not waited for).
void prepareInterfaceFonts();
