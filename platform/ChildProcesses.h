#pragma once

#include <cstdint>

// The child processes a run has started (the conversions), noted so that a
// run that is interrupted ends them rather than leave them writing.
namespace platform {

void NoteChildProcess(std::int64_t process);
void ForgetChildProcess(std::int64_t process);

// Ends every child noted. Safe in a signal handler: it takes no lock and
// allocates nothing.
void EndChildProcesses();

} // namespace platform
