#pragma once

// Records the executable's folder as "InstallPath" under
// "SOFTWARE\TarnavelPanel", machine-wide when allowed, else for the user.
// Failures are logged; start-up goes on. The value is never read back.
void writeInstallPath();
