// Small questions about the machine, and a yes-or-no prompt on the console.
#pragma once
#include <cstdint>

#include "lib/strings.h"

// The user of the calling thread; empty, with error 17000, when unknown.
LString FUserName();
// The computer's NetBIOS name; empty, with error 17000, when unknown.
LString FComputerName();

// Available physical memory in whole megabytes, beyond 4 GiB too; capped to
// 0xFFFFFFFF.
uint32_t FFreeMemoryMB();
// Whole megabytes of a byte count, capped likewise.
uint32_t FMegabytes(uint64_t bytes);

// Writes "よろしいですか? (Y/N) : " (code page 932 bytes, in every message
// language) to standard error, reads one key without echo and without waiting for
// Enter, ends the line, and answers true for Y or y.
bool FConfirm();

// Where FConfirm gets its key: the console (_getch) unless a reader is set. Returns
// the reader in place before; null restores the console.
using LKeyReader = int (*)();
LKeyReader setConfirmKeyReader(LKeyReader reader);

// Orders pairs of unsigned 32-bit integers, as a sort's comparison (qsort): by the
// first elements, then by the second; negative, 0 or positive.
int comparePairs(const void* a, const void* b);
