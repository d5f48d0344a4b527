// The server's identity, shared by the module and the installer. The class
// identifier was generated once for this project and never changes.
#pragma once
#include <windows.h>

// {8F4C7100-3C8F-46D6-878E-3F70A0BFBC7B}
inline constexpr GUID kServerClassId = {0x8F4C7100, 0x3C8F, 0x46D6, {0x87, 0x8E, 0x3F, 0x70, 0xA0, 0xBF, 0xBC, 0x7B}};
inline constexpr wchar_t kServerClassIdText[] = L"{8F4C7100-3C8F-46D6-878E-3F70A0BFBC7B}";
inline constexpr wchar_t kServerProgId[] = L"Vexa.Server";
inline constexpr wchar_t kServerDescription[] = L"Vexa automation server";
inline constexpr wchar_t kServerModuleName[] = L"Vexa.dll";
inline constexpr wchar_t kServerThreadingModel[] = L"Apartment";
