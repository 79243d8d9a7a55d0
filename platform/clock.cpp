#include "clock.h"

#include <chrono>
#include <thread>

namespace {
std::function<DWORD()> g_clockHook;
std::function<void()> g_idleHook;
}

DWORD timeGetTime()
{
    if (g_clockHook)
        return g_clockHook();
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<DWORD>(ms);
}

void DelayMs(DWORD ms)
{
    const DWORD start = timeGetTime();
    // At least two reads of the clock, and unsigned differences so that the
    // wait survives the 49-day wrap of the counter.
    for (;;) {
        const DWORD now = timeGetTime();
        if (static_cast<DWORD>(now - start) >= ms)
            break;
        if (g_idleHook)
            g_idleHook();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

bool ClockIsReal()
{
    return !g_clockHook;
}

void SetClockHook(std::function<DWORD()> hook)
{
    g_clockHook = std::move(hook);
}

void SetDelayIdleHook(std::function<void()> hook)
{
    g_idleHook = std::move(hook);
}
