#pragma once

#include <QString>

#include <atomic>

// Snapshots of the data root and the housekeeping around them.
class BackupEngine {
public:
    // Removes leftovers of interrupted backup and restore runs from `folder`
    // (the system temporary folder when empty): "krvbak_*" and "krvrest_*"
    // folders, and "krvbk_*.ps1", "krvbak_prog_*.txt" and "krvrest_prog_*.txt"
    // files, each only when owned by this user and last modified more than a
    // day ago. `stop` (may be
    // null) is read before each entry; once set, the clean-up returns at once.
    // Returns how many folders and files were removed.
    static int cleanupTempLeftovers(const QString& folder, const std::atomic_bool* stop);
};
