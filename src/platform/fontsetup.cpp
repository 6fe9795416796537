#include "platform/fontsetup.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>

FontSetupPreload::FontSetupPreload()
{
    // With no X server named the toolkit cannot start: the program ends
    // before it lays out any text, and the reading would only compete with
    // that.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return;
    try {
        // Loading the configuration publishes it atomically: a toolkit that
        // asks for it meanwhile loads its own copy, and one of the two is
        // dropped, so the race costs time, never correctness.
        m_worker = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread: the toolkit reads the configuration itself, as it
        // would anyway.
    }
}

FontSetupPreload::~FontSetupPreload()
{
    wait();
}

void FontSetupPreload::wait()
{
    if (m_worker.joinable())
        m_worker.join();
}
