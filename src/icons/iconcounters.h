#pragma once

#include <atomic>

// Work counters of the icon service, read by the benchmark to show what a
// cold and a warm request cost. Relaxed atomics: cheap enough to keep on.
namespace iconcounters {
inline std::atomic<long> extractions{0};     // runs of the live extraction chain
inline std::atomic<long> diskCacheReads{0};  // cache files opened for decoding
inline std::atomic<long> diskCacheWrites{0}; // cache files committed
} // namespace iconcounters
