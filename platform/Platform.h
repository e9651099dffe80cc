#pragma once

// The thin operating-system layer. Everything above it is the same on Windows and Linux.

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Writes one text to the debugger output (OutputDebugStringA on Windows, standard error elsewhere).
void WriteDebuggerOutput(const char* text);

// Seconds on the monotonic performance counter.
double MonotonicSeconds();

// The same counter in whole nanoseconds, for times kept as integers (the stand-in runtime's
// XrTime).
int64_t MonotonicNanoseconds();

// Sleeps until MonotonicNanoseconds() reaches `time`; returns at once when it has passed.
void SleepUntilMonotonicNanoseconds(int64_t time);

// Sets a variable of the process's environment, seen by later lookups in this process and by the
// processes it starts. False when the operating system refused.
bool SetEnvironmentValue(const char* name, const char* value);

// Holds a C stream for this thread, so that whole lines of several calls are not interleaved with
// another thread's output; each lock needs its unlock.
void LockStream(std::FILE* stream);
void UnlockStream(std::FILE* stream);

// Separator between a directory and a file name in paths that users give us.
extern const char kPathSeparator;

// Keeps the module that holds this code loaded for the rest of the process, so that threads
// running inside it survive an unload request by the OpenXR loader. Returns false when the
// operating system refused; the caller carries on regardless.
bool PinOwnModule();

// Opens a file for appending, creating it when missing and never truncating it. Other processes
// may read it, append to it and rename it while it is open, and programs this process starts do
// not inherit it. A link at the path is never followed, and only a file of this user's is taken:
// a regular file on Linux, a file on disk that is no reparse point on Windows: never a named pipe
// or a device, which could stall the writes. Null when it cannot be opened.
std::FILE* OpenFileForAppend(const std::string& path);

// Takes an exclusive lock on the open file without waiting: advisory, so that it binds only those
// who ask for it and leaves the content readable, and held until the file is closed. False when
// another open file holds it.
bool TryLockFile(std::FILE* file);

// Whether `path` still names the open file, which may have been renamed since it was opened.
bool IsFileAtPath(std::FILE* file, const std::string& path);

// The process's id, and the local date and time as "YYYY-MM-DD hh:mm:ss", for the log file.
unsigned long ProcessId();
std::string LocalTimeText();

// The wall clock in nanoseconds since 1970 (UTC), from the coarse clock: a few milliseconds'
// resolution for the price of a memory read, so that any thread may stamp what it logs.
int64_t CoarseWallClockNanoseconds();

// A time of CoarseWallClockNanoseconds as local "YYYY-MM-DD hh:mm:ss.mmm" (23 characters).
void FormatLocalTime(int64_t wallNanoseconds, char (&text)[32]);

// The user's own folder for what the layer keeps: $XDG_STATE_HOME/tarvex, else
// $HOME/.local/state/tarvex (the account's home folder when HOME is unset) on Linux,
// %LOCALAPPDATA%\TarvexOpenXR on Windows. Empty when the user has none.
std::string UserStateFolder();

// Creates the folder with its missing parents, readable only by this user, and tells whether it
// is now a folder.
bool MakePrivateFolder(const std::string& path);

// Whether the path is a folder this process may create files in.
bool CanWriteFolder(const std::string& path);

// Implemented by the layer: called once when the module is attached to a process.
void OnModuleLoaded();

}  // namespace platform
