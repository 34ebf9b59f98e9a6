#pragma once
// The Win32 thread platform and performance counter. The program installs them at start-up with
// InstallWin32Platform(); portable code keeps reaching them through platform/threads.h.
#include <windows.h>

#include "platform/threads.h"

ThreadPlatform& Win32ThreadPlatform();
PerformanceCounter& Win32PerformanceCounter();
void InstallWin32Platform();

// The SetThreadPriority value of a priority.
int Win32ThreadPriorityValue(ThreadPriority priority);

// Handles the messages waiting for this thread, messages sent from other threads included. A WM_QUIT
// found on the way is posted again for the message loop.
void PumpWaitingMessages();
// JoinWhilePumping with this thread's messages: the user-interface thread joins engine threads with it.
bool JoinPumpingMessages(PlatformThread& thread, uint32_t timeout_ms);
