// A scratch folder per test, which becomes the current directory while the test runs.
#pragma once

#include <windows.h>
#include <string>

#include "FileBytes.h"

inline void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// A fresh folder that becomes the current directory for the test; the old one comes back after it.
class CScratchDir
{
public:
    explicit CScratchDir(const std::string& name) : m_path(std::string(TEST_WORK_DIR) + "\\" + name)
    {
        for (char& c : m_path)
        {
            if (c == '/')
                c = '\\';
        }
        char old[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, old);
        m_old = old;
        CreateDirectoryA(TEST_WORK_DIR, nullptr);
        RemoveTree(m_path);
        CreateDirectoryA(m_path.c_str(), nullptr);
        SetCurrentDirectoryA(m_path.c_str());
    }
    ~CScratchDir()
    {
        SetCurrentDirectoryA(m_old.c_str());
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    const std::string& Path() const
    {
        return m_path;
    }
    std::string operator/(const std::string& name) const
    {
        return m_path + "\\" + name;
    }

private:
    std::string m_path;
    std::string m_old;
};
