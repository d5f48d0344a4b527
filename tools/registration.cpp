#include "tools/registration.h"

#include <vector>

#include "server/identity.h"
#include "lib/owners.h"

namespace {

HKEY rootKey(Scope scope)
{
    return scope == Scope::AllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

const wchar_t* rootName(Scope scope)
{
    return scope == Scope::AllUsers ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

REGSAM viewFlag(View view)
{
    return view == View::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

View otherView(View view)
{
    return view == View::Bits64 ? View::Bits32 : View::Bits64;
}

// Paths are always taken from the predefined root with the view flag: the view
// then applies to the whole path, the same way on Windows and on Wine.
std::wstring classesPath(const std::wstring& tail)
{
    return L"Software\\Classes\\" + tail;
}

const std::wstring kClassPath = classesPath(std::wstring(L"CLSID\\") + kServerClassIdText);
const std::wstring kServerPath = kClassPath + L"\\InprocServer32";
const std::wstring kNamePath = classesPath(kServerProgId);

// The one place where failed registry calls become messages.
SetupError registryError(LSTATUS status, const wchar_t* action, Scope scope, const std::wstring& path)
{
    std::wstring text = std::wstring(L"cannot ") + action + L" " + rootName(scope) + L"\\" + path + L": ";
    if (status == ERROR_ACCESS_DENIED && scope == Scope::AllUsers)
        text += L"access denied; the registration for all users needs administrator rights "
                L"(run as administrator, or leave out --machine to use the current user's registration)";
    else
        text += systemErrorText(DWORD(status));
    return SetupError{text};
}

// A string value, REG_EXPAND_SZ expanded; ERROR_FILE_NOT_FOUND when absent.
LSTATUS readString(HKEY key, const wchar_t* name, std::wstring& value)
{
    for (;;) {
        DWORD size = 0;
        LSTATUS status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return status;
        value.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = DWORD(value.size() * sizeof(wchar_t));
        status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue; // changed between the calls
        if (status != ERROR_SUCCESS)
            return status;
        value.resize(size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        return ERROR_SUCCESS;
    }
}

bool keyExists(Scope scope, View view, const std::wstring& path)
{
    LRegistryKey key;
    const LSTATUS status = RegOpenKeyExW(rootKey(scope), path.c_str(), 0, KEY_QUERY_VALUE | viewFlag(view), key.put());
    if (status == ERROR_FILE_NOT_FOUND)
        return false;
    if (status != ERROR_SUCCESS)
        throw registryError(status, L"open", scope, path);
    return true;
}

// Deletes a key with everything below it; false when it did not exist.
bool deleteTree(Scope scope, View view, const std::wstring& path)
{
    LRegistryKey key;
    LSTATUS status = RegOpenKeyExW(rootKey(scope), path.c_str(), 0,
                                   DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | viewFlag(view),
                                   key.put());
    if (status == ERROR_FILE_NOT_FOUND)
        return false;
    if (status == ERROR_SUCCESS)
        status = RegDeleteTreeW(key.get(), nullptr);
    key.reset();
    if (status == ERROR_SUCCESS)
        status = RegDeleteKeyExW(rootKey(scope), path.c_str(), viewFlag(view), 0);
    if (status != ERROR_SUCCESS)
        throw registryError(status, L"remove", scope, path);
    return true;
}

LSTATUS createKeyWithApi(HKEY root, const wchar_t* path, REGSAM access, HKEY* key, DWORD* disposition)
{
    return RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key, disposition);
}

LSTATUS setValueWithApi(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size)
{
    return RegSetValueExW(key, name, 0, type, data, size);
}

// The writes of one install run, undone in reverse unless committed. Keys the
// run created are deleted again; values it overwrote in keys that existed
// before get their earlier contents back, so a failed reinstall leaves the
// earlier registration as it was.
class Transaction {
public:
    Transaction(Scope scope, View view) : scope_(scope), view_(view) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction()
    {
        if (!done_)
            rollback();
    }

    // Creates the key and its missing parents one level at a time, so that each
    // key this run creates is known.
    LRegistryKey createKey(const std::wstring& path)
    {
        LRegistryKey key;
        for (size_t end = path.find(L'\\', classesPath(L"").size()); ; end = path.find(L'\\', end + 1)) {
            const std::wstring level = path.substr(0, end);
            DWORD disposition = 0;
            const LSTATUS status = registryWriter().createKey(
                rootKey(scope_), level.c_str(), KEY_CREATE_SUB_KEY | KEY_QUERY_VALUE | KEY_SET_VALUE | viewFlag(view_),
                key.put(), &disposition);
            if (status != ERROR_SUCCESS)
                throw registryError(status, L"create", scope_, level);
            if (disposition == REG_CREATED_NEW_KEY)
                created_.push_back(level);
            if (end == std::wstring::npos)
                return key;
        }
    }

    void setString(const LRegistryKey& key, const std::wstring& path, const wchar_t* name, const std::wstring& text)
    {
        if (!isCreated(path))
            saveValue(key, path, name);
        const auto size = DWORD((text.size() + 1) * sizeof(wchar_t));
        const LSTATUS status =
            registryWriter().setValue(key.get(), name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
        if (status != ERROR_SUCCESS)
            throw registryError(status, L"write", scope_, path);
    }

    void commit() { done_ = true; }

    // Undoes what was written; returns the text of what could not be undone.
    std::wstring rollback() noexcept
    {
        done_ = true;
        std::wstring leftovers;
        const auto note = [&](LSTATUS status, const std::wstring& path) {
            if (status != ERROR_SUCCESS)
                leftovers += L"; could not undo " + std::wstring(rootName(scope_)) + L"\\" + path + L": " +
                             systemErrorText(DWORD(status));
        };
        for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved) {
            LRegistryKey key;
            LSTATUS status = RegOpenKeyExW(rootKey(scope_), saved->path.c_str(), 0, KEY_SET_VALUE | viewFlag(view_),
                                           key.put());
            if (status == ERROR_SUCCESS)
                status = saved->existed ? RegSetValueExW(key.get(), saved->namePointer(), 0, saved->type,
                                                         saved->data.data(), DWORD(saved->data.size()))
                                        : RegDeleteValueW(key.get(), saved->namePointer());
            note(status, saved->path);
        }
        for (auto path = created_.rbegin(); path != created_.rend(); ++path)
            note(RegDeleteKeyExW(rootKey(scope_), path->c_str(), viewFlag(view_), 0), *path);
        return leftovers;
    }

private:
    struct SavedValue {
        std::wstring path;
        bool isDefault;
        std::wstring name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
        const wchar_t* namePointer() const { return isDefault ? nullptr : name.c_str(); }
    };

    bool isCreated(const std::wstring& path) const
    {
        for (const auto& created : created_)
            if (created == path)
                return true;
        return false;
    }

    void saveValue(const LRegistryKey& key, const std::wstring& path, const wchar_t* name)
    {
        SavedValue saved{path, name == nullptr, name ? name : L"", false, REG_NONE, {}};
        LSTATUS status;
        do {
            DWORD size = 0;
            status = RegQueryValueExW(key.get(), name, nullptr, &saved.type, nullptr, &size);
            if (status != ERROR_SUCCESS)
                break;
            saved.data.resize(size);
            status = RegQueryValueExW(key.get(), name, nullptr, &saved.type, saved.data.data(), &size);
            saved.data.resize(size);
        } while (status == ERROR_MORE_DATA);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            throw registryError(status, L"read", scope_, path);
        saved.existed = status == ERROR_SUCCESS;
        saved_.push_back(std::move(saved));
    }

    Scope scope_;
    View view_;
    std::vector<std::wstring> created_; // parents first
    std::vector<SavedValue> saved_;
    bool done_ = false;
};

} // namespace

RegistryWriter& registryWriter()
{
    static RegistryWriter writer{createKeyWithApi, setValueWithApi};
    return writer;
}

std::wstring describeTarget(Scope scope, View view)
{
    return std::wstring(scope == Scope::AllUsers ? L"all users" : L"the current user") +
           (view == View::Bits64 ? L" (64-bit view)" : L" (32-bit view)");
}

std::wstring systemErrorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const LLocalBlock owned(buffer);
    std::wstring text = length ? std::wstring(buffer, length) : L"unknown error";
    for (auto& unit : text)
        if (unit == L'\r' || unit == L'\n')
            unit = L' ';
    while (!text.empty() && (text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text + L" (error " + std::to_wstring(code) + L")";
}

void registerServer(Scope scope, View view, const std::wstring& modulePath)
{
    Transaction change(scope, view);
    try {
        const LRegistryKey classKey = change.createKey(kClassPath);
        change.setString(classKey, kClassPath, nullptr, kServerDescription);
        const LRegistryKey server = change.createKey(kServerPath);
        change.setString(server, kServerPath, nullptr, modulePath);
        change.setString(server, kServerPath, L"ThreadingModel", kServerThreadingModel);
        const std::wstring classNamePath = kClassPath + L"\\ProgID";
        const LRegistryKey className = change.createKey(classNamePath);
        change.setString(className, classNamePath, nullptr, kServerProgId);
        // The name last: a host that resolves it finds the class complete.
        const LRegistryKey name = change.createKey(kNamePath);
        change.setString(name, kNamePath, nullptr, kServerDescription);
        const std::wstring nameClassPath = kNamePath + L"\\CLSID";
        const LRegistryKey nameClass = change.createKey(nameClassPath);
        change.setString(nameClass, nameClassPath, nullptr, kServerClassIdText);
    } catch (SetupError& error) {
        error.text += change.rollback();
        throw;
    }
    change.commit();
}

Removal unregisterServer(Scope scope, View view)
{
    const bool removedClass = deleteTree(scope, view, kClassPath);

    // The name is one key for both views: it stays while it names another
    // class, or while the other view still holds this one.
    bool nameIsOurs = false;
    LRegistryKey nameClass;
    const std::wstring nameClassPath = kNamePath + L"\\CLSID";
    LSTATUS status =
        RegOpenKeyExW(rootKey(scope), nameClassPath.c_str(), 0, KEY_QUERY_VALUE | viewFlag(view), nameClass.put());
    if (status == ERROR_SUCCESS) {
        std::wstring named;
        status = readString(nameClass.get(), nullptr, named);
        nameIsOurs = status == ERROR_SUCCESS && _wcsicmp(named.c_str(), kServerClassIdText) == 0;
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw registryError(status, L"read", scope, nameClassPath);
    nameClass.reset();

    if (!nameIsOurs)
        return removedClass ? Removal::Removed : Removal::NothingRegistered;
    if (keyExists(scope, otherView(view), kClassPath))
        return removedClass ? Removal::KeptSharedName : Removal::NothingRegistered;
    deleteTree(scope, view, kNamePath);
    return Removal::Removed;
}

Registration queryRegistration(Scope scope, View view)
{
    Registration registration;
    LRegistryKey server;
    LSTATUS status =
        RegOpenKeyExW(rootKey(scope), kServerPath.c_str(), 0, KEY_QUERY_VALUE | viewFlag(view), server.put());
    if (status == ERROR_FILE_NOT_FOUND)
        return registration;
    if (status == ERROR_SUCCESS)
        status = readString(server.get(), nullptr, registration.modulePath);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw registryError(status, L"read", scope, kServerPath);
    registration.registered = true;
    return registration;
}

bool hasBits64View()
{
#ifdef _WIN64
    return true;
#else
    BOOL underWow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &underWow64) && underWow64;
#endif
}
