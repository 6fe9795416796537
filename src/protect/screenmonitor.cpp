#include "protect/screenmonitor.h"

ScreenMonitor* ScreenMonitor::instance()
{
    // Never destroyed: the process ends by a hard exit.
    static ScreenMonitor* const monitor = new ScreenMonitor;
    return monitor;
}

void ScreenMonitor::stop()
{
    m_running = false;
}
