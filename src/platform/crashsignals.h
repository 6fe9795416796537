#pragma once

#include <QString>

// The last word of a crashing process. Installed once; at a crash (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGABRT) the handler, on its own stack and with
// raw system calls only (no heap, no Qt, no locale), writes into `folder`:
// - "crash-YYYYMMDD-HHMMSS.dmp" (local time at start-up's UTC offset): the
//   signal, the exception code it stands for, the registers, a backtrace
//   and the process's memory map; then only the five newest dumps by name
//   are kept (of the first 64 the folder lists);
// - one line in "crash.log", UTF-16LE without byte-order mark, ended by a
//   single line feed:
//   "[yyyy-MM-dd hh:mm:ss] code=0xC0000005 addr=0x<16 hex> thread=<tid>"
//   plus " access=read|write target=0x<16 hex>" for an access violation.
// Then the signal takes its default course and the process dies of it.
// Returns false when `folder` does not fit the handler's buffer or the
// handlers could not be set; a failure at crash time ends only that step.
bool installCrashSignalHandler(const QString& folder);

// The exception code a crash signal is reported as (0 for other signals).
unsigned crashExceptionCode(int signal);
