#pragma once
// Puts what was written into a file on the disk before the caller goes on: a save replaces its target only
// with a temporary file whose bytes are stored, so a power cut just after the save cannot leave an empty
// file in the old one's place.
#include <cstdio>

// Flushes the stream's buffer, then has the system write the file's data to the storage device
// (fsync natively, FlushFileBuffers on Windows). True when both succeeded.
bool FlushFileToDisk(std::FILE* file);
