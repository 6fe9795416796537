#include "app/crashhandler.h"

void initCrashHandler()
{
    // The handler arrives with its own change; start-up already calls it here.
}
