#pragma once

#include <QByteArray>

class SingleInstanceLock;

// The resident tray agent ("--agent"): answers the local socket, offers the
// panel from its tray icon, hands over to a new panel process on a "show"
// request and may end itself when idle. Ends the process itself: with the
// event loop's code, or 2 when its socket cannot listen. `lock` (may be
// null) is the single-instance lock, handed over to the panel it starts.
[[noreturn]] void runAgentMode(SingleInstanceLock* lock);

// The idle limit from "KRV_AGENT_IDLE_SEC": decimal, "0x" hexadecimal or
// leading-0 octal; 0 (resident) when unset, not a number or below 1.
qint64 agentIdleSeconds(const QByteArray& value);

// The idle timer's interval for `secs` seconds, in milliseconds, held at
// the largest interval a timer takes.
int agentIdleIntervalMs(qint64 secs);
