#pragma once

#include <QString>

// What the build stamped into the program: its version and the day it was
// compiled. Only buildinfo.cpp sees the stamped values, so a new version
// rebuilds one file.

// The program's file version as "major.minor.build" (the fourth part is
// never shown); "0.0.0" when the build set none.
QString fileVersionString();
// The day the program was compiled as "yyyy-MM-dd", or the compiler's own
// text when that does not read as a date.
QString buildDateString();
// The publisher credit of the about page, untranslated.
QString publisherCredit();

// "1.0.251.0" gives "1.0.251"; missing parts count as 0. Anything that is not
// one to four dot-separated numbers of 0..65535 gives "0.0.0".
QString formatFileVersion(const QString& fourPartVersion);
// A compiler date such as "Nov 18 2026" (day padded with blanks) as
// "2026-11-18"; an unreadable text comes back with its whitespace simplified.
QString formatBuildDate(const QString& compilerDate);
