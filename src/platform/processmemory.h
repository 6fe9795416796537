#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The program's own memory as the system counts it: what is resident now
// (the working set) and the most that was resident at once during this run.
struct ProcessMemoryFigures {
    qint64 workingSetBytes = 0;
    qint64 peakWorkingSetBytes = 0;
};

class ProcessMemory {
public:
    virtual ~ProcessMemory() = default;

    // The figures of this moment; empty when the system cannot tell (no
    // process file system, a kernel that leaves a counter out).
    virtual std::optional<ProcessMemoryFigures> figures() = 0;
    // Hands heap pages the program freed back to the system, so that the
    // working set shrinks. Best effort: nothing reports how much it gave.
    virtual void trim() = 0;
};

// The process's memory service: /proc/self/status and the C library's heap.
ProcessMemory& processMemory();
// Replaces what processMemory() returns (tests); nullptr restores the default.
void setProcessMemoryOverride(ProcessMemory* override);

// The resident set ("VmRSS") and its peak ("VmHWM") of a /proc/<pid>/status
// text. Both must be present, non-negative and given in B, kB, MB or GB
// (multiples of 1024, as the kernel means them); otherwise empty.
std::optional<ProcessMemoryFigures> parseProcStatusMemory(const QByteArray& statusText);
