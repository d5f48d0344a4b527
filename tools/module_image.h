// Reads which processor a module file is built for, from its PE header, so the
// installer never registers a module that hosts of its view cannot load.
#pragma once
#include <windows.h>

#include <string>

// The machine type this program is built for (IMAGE_FILE_MACHINE_*).
WORD ownMachine();

// "64-bit (x64)", "32-bit (x86)", or the number for others.
std::wstring describeMachine(WORD machine);

// The Machine field of the file's COFF header. Throws SetupError when the file
// cannot be read or is not a PE image.
WORD moduleMachine(const std::wstring& path);
