#pragma once

#include <thread>

// The system's font configuration, read on a thread of its own while the
// application starts. Reading it (the configuration files and the font
// caches they name) is the largest part of the first text the program lays
// out; started first thing, it is done by the time the first widget measures
// a label, and the toolkit finds it loaded.
//
// The object waits for the reading thread when it goes, or at wait(); call
// that before the application goes on a path that destroys it.
class FontSetupPreload {
public:
    FontSetupPreload();
    ~FontSetupPreload();
    void wait();
    FontSetupPreload(const FontSetupPreload&) = delete;
    FontSetupPreload& operator=(const FontSetupPreload&) = delete;

private:
    std::thread m_worker;
};
