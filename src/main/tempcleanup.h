#pragma once

// The first instance's background thread that removes leftovers of
// interrupted backup and restore runs.

// Starts the thread (once).
void startTempCleanupThread();

// Asks the thread to stop and waits for it at most 2000 ms, looking every
// 25 ms; a thread still running then is detached (it dies with the process).
void stopTempCleanupThread();
