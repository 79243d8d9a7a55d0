// The millisecond clock the effects pace themselves by. Tests install a hook
// so that effects run without real waiting and their pauses can be counted.
#pragma once

#include "windef.h"

#include <functional>

// Milliseconds on the monotonic clock, wrapping at 2^32.
DWORD timeGetTime();

// Waits until at least `ms` milliseconds have passed on timeGetTime's clock.
void DelayMs(DWORD ms);

// Replaces the clock; an empty function restores the real one. The hook is
// called for every timeGetTime read.
void SetClockHook(std::function<DWORD()> hook);

// False while a hook replaces the clock: its time does not pass by itself,
// so a pause is waited out on it alone rather than partly in real time.
bool ClockIsReal();

// Called between clock reads while DelayMs waits (the real default yields the
// processor for up to 1 ms); tests use it to advance a fake clock.
void SetDelayIdleHook(std::function<void()> hook);
