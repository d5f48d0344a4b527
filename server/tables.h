// The server's two process-wide name tables: method names to dispatch
// identifiers, and key names to virtual-key codes. Built once when the module is
// attached, read-only afterwards.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "lib/containers.h"
#include "server/dispatch_ids.h"

class TServer;

// Every fact about a method, in one row: Invoke looks it up, checks the count
// and calls the handler; the name table is built from the names.
struct MethodInfo {
    DispatchId id;
    const wchar_t* name;
    uint32_t argumentCounts; // bit n set: n arguments allowed
    HRESULT (TServer::*handler)(UINT count, VARIANT* arguments, VARIANT* result);

    bool admits(UINT count) const { return count < 32 && (argumentCounts & (1u << count)) != 0; }
};

// All 27 methods in ascending identifier order.
extern const MethodInfo kMethods[];
extern const int kMethodCount;
const MethodInfo* findMethod(DISPID id);

void buildTables();
void destroyTables();
const LHashTable* methodTable();
const LHashTable* keyNameTable();
