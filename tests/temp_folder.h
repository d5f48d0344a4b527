// A fresh folder in the temporary directory for one test, removed with everything
// in it afterwards, and small file helpers. Written against the system directly,
// so the tests do not rely on the code they test.
#pragma once
#include <windows.h>

#include <string>

inline void writeFile(const std::string& path, const std::string& content, DWORD attributes = 0)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr);
    CloseHandle(file);
    SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

// The content of a small file, or "(missing)".
inline std::string readFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    DWORD got = 0;
    if (file == INVALID_HANDLE_VALUE)
        return "(missing)";
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

inline bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class TempFolder {
public:
    TempFolder()
    {
        static int serial = 0;
        char temp[MAX_PATH + 1];
        GetTempPathA(sizeof temp, temp);
        // Process identifiers come back: a folder left by a crashed run is not reused.
        do
            path_ = temp + ("vexa-sys-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
        while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~TempFolder() { removeTree(std::wstring(path_.begin(), path_.end())); } // the temporary path is ASCII
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    // In UTF-16, so that names the ANSI code page cannot hold go too.
    static void removeTree(const std::wstring& directory)
    {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &entry);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
            const std::wstring name = entry.cFileName, path = directory + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                removeTree(path);
            else if (!DeleteFileW(path.c_str()))
                RemoveDirectoryW(path.c_str()); // a link to a directory
        }
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        RemoveDirectoryW(directory.c_str());
    }

    std::string path_;
};

// The current directory changed for the length of a test.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path) : saved_(MAX_PATH * 4, '\0')
    {
        saved_.resize(GetCurrentDirectoryA(DWORD(saved_.size()), saved_.data()));
        SetCurrentDirectoryA(path.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryA(saved_.c_str()); }

private:
    std::string saved_;
};
