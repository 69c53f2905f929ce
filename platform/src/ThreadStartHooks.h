// The state behind the test hooks of thread starts, shared by the POSIX layer and the Windows
// import-table hook: the failures a test asked for and the count of threads still running.
#pragma once

#include "platform/WinApi.h"

// Takes one of the failures asked for by platformFailNextThreadCreations: true, with its error
// code in `error`, when this thread start must fail.
bool takeThreadStartFailure(DWORD& error);

// A hooked thread start counts its thread from just before the start until the thread's
// function has returned (or the start has failed).
void countThreadStarted();
void countThreadEnded();
