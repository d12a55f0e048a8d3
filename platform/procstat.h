#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// What /proc/<pid>/stat says of a process. Plain C++ without Qt, so the job
// keeper (a program of its own) reads it the same way as the scheduler.

struct ProcStat {
    char state = 0;               ///< field 3: R, S, D, Z (ended, not reaped), ...
    pid_t parent = 0;             ///< field 4
    std::uint64_t startTime = 0;  ///< field 22: clock ticks since boot
};

/// Reads /proc/<pid>/stat. False when there is no such process (or the file
/// cannot be read or parsed).
bool ReadProcStat(pid_t pid, ProcStat* out);

/// Reads up to size bytes from fd, going on after interruptions and short
/// reads until size bytes, end of file or an error; returns how many it got.
std::size_t ReadUpTo(int fd, void* data, std::size_t size);

/// The name of the file in which the keeper records how the process with pid
/// and the low 32 bits of startTime ended: "<pid>.<startTime>.end".
void EndRecordName(pid_t pid, std::uint32_t startTime, char* out, std::size_t size);
