#pragma once

// Installs the process's crash handler (dumps and "crash.log" in the data
// root). Called once by the entry function, after the screenshot modes have
// branched off and before the single-instance check.
void initCrashHandler();
