// The server's two process-wide name tables: method names to dispatch
// identifiers, and key names to virtual-key codes. Built once when the module is
// attached, read-only afterwards.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "containers.h"

struct MethodInfo {
    DISPID id;
    const wchar_t* name;
    uint32_t argumentCounts; // bit n set: n arguments allowed
};

// All 27 methods in ascending identifier order.
extern const MethodInfo kMethods[];
extern const int kMethodCount;
const MethodInfo* findMethod(DISPID id);

void buildTables();
void destroyTables();
const LHashTable* methodTable();
const LHashTable* keyNameTable();
