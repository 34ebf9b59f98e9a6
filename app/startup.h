#pragma once
// The portable half of start-up and shut-down: the global records, their defaults and the preferences.
#include <string>

#include "app/messages.h"

// Allocates every global record, fills the defaults and reads <appDirectory>HV_Preferences.pre over them.
// Returns false (with the message to show) when memory could not be had; everything allocated so far is
// then released again. `messages` receives "Unable To OPEN Preferences File" when there is no usable file.
bool StartRecords(const std::string& appDirectory, MessageList* messages);

// Collects the settings into the preferences record and writes the file (messages on failure).
bool SavePreferences(const std::string& appDirectory, MessageList* messages);

// Releases every global buffer. Runs once, after every window that uses them is gone; a second call
// does nothing.
void ReleaseRecords();

// True between a successful StartRecords and ReleaseRecords.
bool RecordsAllocated();
