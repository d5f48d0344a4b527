#include "tables.h"

#include <initializer_list>

namespace {

constexpr uint32_t allowing(std::initializer_list<int> allowed)
{
    uint32_t mask = 0;
    for (int n : allowed)
        mask |= 1u << n;
    return mask;
}

struct KeyName {
    const char* name;
    int32_t code;
};

// Key names of the keystroke notation. The last three let the prefix characters
// be typed literally; their code is the character itself.
constexpr KeyName kKeyNames[] = {
    {"CONTROL", VK_CONTROL}, {"CTRL", VK_CONTROL}, {"SHIFT", VK_SHIFT}, {"MENU", VK_MENU},
    {"ALT", VK_MENU},        {"HOME", VK_HOME},    {"END", VK_END},     {"HELP", VK_HELP},
    {"LEFT", VK_LEFT},       {"RIGHT", VK_RIGHT},  {"UP", VK_UP},       {"DOWN", VK_DOWN},
    {"TAB", VK_TAB},         {"RETURN", VK_RETURN}, {"RET", VK_RETURN}, {"ENTER", VK_RETURN},
    {"INSERT", VK_INSERT},   {"INS", VK_INSERT},   {"DELETE", VK_DELETE}, {"DEL", VK_DELETE},
    {"F1", VK_F1},   {"F2", VK_F2},   {"F3", VK_F3},   {"F4", VK_F4},   {"F5", VK_F5},
    {"F6", VK_F6},   {"F7", VK_F7},   {"F8", VK_F8},   {"F9", VK_F9},   {"F10", VK_F10},
    {"F11", VK_F11}, {"F12", VK_F12}, {"F13", VK_F13}, {"F14", VK_F14}, {"F15", VK_F15},
    {"F16", VK_F16}, {"F17", VK_F17}, {"F18", VK_F18}, {"F19", VK_F19}, {"F20", VK_F20},
    {"^", '^'},      {"+", '+'},      {"%", '%'},
};
static_assert(sizeof kKeyNames / sizeof kKeyNames[0] == 43);

LHashTable* methods = nullptr;
LHashTable* keyNames = nullptr;

} // namespace

const MethodInfo kMethods[] = {
    {100, L"beep", allowing({0, 2})},
    {200, L"click", allowing({0, 1})},
    {201, L"dblClick", allowing({0, 1})},
    {210, L"setMousePos", allowing({2})},
    {211, L"moveMouse", allowing({2})},
    {220, L"getMousePosX", allowing({0})},
    {221, L"getMousePosY", allowing({0})},
    {222, L"getMouseCursor", allowing({0})},
    {223, L"getSystemCursor", allowing({1})},
    {290, L"sendKeys", allowing({1, 2})},
    {300, L"getClipboard", allowing({0})},
    {301, L"setClipboard", allowing({1})},
    {400, L"getActiveWindow", allowing({0})},
    {401, L"getForegroundWindow", allowing({0})},
    {410, L"setActiveWindow", allowing({1})},
    {411, L"setForegroundWindow", allowing({1})},
    {420, L"getWindowPosX", allowing({1})},
    {421, L"getWindowPosY", allowing({1})},
    {422, L"setWindowPos", allowing({3})},
    {430, L"getWindowSizeX", allowing({1})},
    {431, L"getWindowSizeY", allowing({1})},
    {432, L"setWindowSize", allowing({3})},
    {440, L"getWindowText", allowing({1})},
    {450, L"findWindow", allowing({1})},
    {451, L"topWindowFromPoint", allowing({2})},
    {452, L"windowFromPoint", allowing({2})},
    {900, L"version", allowing({0})},
};
const int kMethodCount = sizeof kMethods / sizeof kMethods[0];
static_assert(sizeof kMethods / sizeof kMethods[0] == 27);

const MethodInfo* findMethod(DISPID id)
{
    for (const MethodInfo& method : kMethods)
        if (method.id == id)
            return &method;
    return nullptr;
}

void buildTables()
{
    methods = new LHashTable(256);
    for (const MethodInfo& method : kMethods) {
        auto* entry = new LHashEntry;
        entry->key.wide = method.name;
        entry->value = method.id;
        methods->put(entry);
    }
    keyNames = new LHashTable(256);
    for (const KeyName& key : kKeyNames)
        keyNames->put(key.name, key.code);
}

void destroyTables()
{
    delete methods;
    methods = nullptr;
    delete keyNames;
    keyNames = nullptr;
}

const LHashTable* methodTable() { return methods; }
const LHashTable* keyNameTable() { return keyNames; }
