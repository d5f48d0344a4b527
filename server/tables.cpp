#include "server/tables.h"

#include <array>
#include <initializer_list>

#include "server/server.h"

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

constexpr MethodInfo kMethods[] = {
    {kBeep, L"beep", allowing({0, 2}), &TServer::beep},
    {kClick, L"click", allowing({0, 1}), &TServer::click},
    {kDblClick, L"dblClick", allowing({0, 1}), &TServer::dblClick},
    {kSetMousePos, L"setMousePos", allowing({2}), &TServer::setMousePos},
    {kMoveMouse, L"moveMouse", allowing({2}), &TServer::moveMouse},
    {kGetMousePosX, L"getMousePosX", allowing({0}), &TServer::getMousePosX},
    {kGetMousePosY, L"getMousePosY", allowing({0}), &TServer::getMousePosY},
    {kGetMouseCursor, L"getMouseCursor", allowing({0}), &TServer::getMouseCursor},
    {kGetSystemCursor, L"getSystemCursor", allowing({1}), &TServer::getSystemCursor},
    {kSendKeys, L"sendKeys", allowing({1, 2}), &TServer::sendKeys},
    {kGetClipboard, L"getClipboard", allowing({0}), &TServer::getClipboard},
    {kSetClipboard, L"setClipboard", allowing({1}), &TServer::setClipboard},
    {kGetActiveWindow, L"getActiveWindow", allowing({0}), &TServer::getActiveWindow},
    {kGetForegroundWindow, L"getForegroundWindow", allowing({0}), &TServer::getForegroundWindow},
    {kSetActiveWindow, L"setActiveWindow", allowing({1}), &TServer::setActiveWindow},
    {kSetForegroundWindow, L"setForegroundWindow", allowing({1}), &TServer::setForegroundWindow},
    {kGetWindowPosX, L"getWindowPosX", allowing({1}), &TServer::getWindowPosX},
    {kGetWindowPosY, L"getWindowPosY", allowing({1}), &TServer::getWindowPosY},
    {kSetWindowPos, L"setWindowPos", allowing({3}), &TServer::setWindowPos},
    {kGetWindowSizeX, L"getWindowSizeX", allowing({1}), &TServer::getWindowSizeX},
    {kGetWindowSizeY, L"getWindowSizeY", allowing({1}), &TServer::getWindowSizeY},
    {kSetWindowSize, L"setWindowSize", allowing({3}), &TServer::setWindowSize},
    {kGetWindowText, L"getWindowText", allowing({1}), &TServer::getWindowText},
    {kFindWindow, L"findWindow", allowing({1}), &TServer::findWindow},
    {kTopWindowFromPoint, L"topWindowFromPoint", allowing({2}), &TServer::topWindowFromPoint},
    {kWindowFromPoint, L"windowFromPoint", allowing({2}), &TServer::windowFromPoint},
    {kVersion, L"version", allowing({0}), &TServer::version},
};
constexpr int kMethodCount = sizeof kMethods / sizeof kMethods[0];
static_assert(kMethodCount == 27);

namespace {

// Invoke's lookup is the dispatcher's largest cost after the method itself: a
// scan of the rows took as long as the rest of a one-call method's wrapping.
// Each identifier's row is indexed instead; -1 where none has that identifier.
constexpr DISPID kHighestId = kMethods[kMethodCount - 1].id; // the rows ascend
constexpr auto kRowOfId = [] {
    std::array<int8_t, kHighestId + 1> rows{};
    rows.fill(-1);
    for (int i = 0; i < kMethodCount; ++i)
        rows[kMethods[i].id] = int8_t(i);
    return rows;
}();

} // namespace

const MethodInfo* findMethod(DISPID id)
{
    if (id < 0 || id > kHighestId || kRowOfId[id] < 0)
        return nullptr;
    return &kMethods[kRowOfId[id]];
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
