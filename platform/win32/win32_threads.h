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
