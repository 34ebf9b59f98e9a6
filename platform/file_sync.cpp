#include "platform/file_sync.h"

#ifdef _WIN32
#include <io.h>  // _commit: FlushFileBuffers on the descriptor's handle
#else
#include <unistd.h>
#endif

bool FlushFileToDisk(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}
