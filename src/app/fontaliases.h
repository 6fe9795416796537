#pragma once

// Makes the Windows font names the interface asks for ("Microsoft YaHei UI",
// "Microsoft YaHei", "Consolas") resolve to installed faces: a CJK sans
// serif and a monospace face. Qt tries these substitutes before any other
// fallback, so the result does not depend on the machine's fontconfig
// setup. Call once, right after the QApplication exists.
void installFontAliases();
