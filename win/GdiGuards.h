// One-purpose guards for GDI resources: each frees or restores exactly one thing, and none can be copied.
#pragma once

#include <windows.h>

// A device context of a window, released with the window.
class CWindowDC
{
public:
    explicit CWindowDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(::GetDC(hWnd))
    {
    }
    ~CWindowDC()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;

    operator HDC() const
    {
        return m_hDC;
    }

private:
    HWND m_hWnd; // not owned
    HDC m_hDC;
};

// A memory device context, deleted with the guard.
class CMemoryDC
{
public:
    explicit CMemoryDC(HDC compatible) : m_hDC(::CreateCompatibleDC(compatible))
    {
    }
    ~CMemoryDC()
    {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    operator HDC() const
    {
        return m_hDC;
    }

private:
    HDC m_hDC;
};

// A pen, brush, font or bitmap that we created and must delete.
template <class THandle> class CGdiObject
{
public:
    explicit CGdiObject(THandle handle = nullptr) : m_handle(handle)
    {
    }
    ~CGdiObject()
    {
        Reset();
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_handle(other.m_handle)
    {
        other.m_handle = nullptr;
    }
    CGdiObject& operator=(CGdiObject&& other) noexcept
    {
        if (this != &other)
        {
            Reset();
            m_handle = other.m_handle;
            other.m_handle = nullptr;
        }
        return *this;
    }

    operator THandle() const
    {
        return m_handle;
    }
    void Reset()
    {
        if (m_handle)
            ::DeleteObject(m_handle);
        m_handle = nullptr;
    }

private:
    THandle m_handle;
};

// Selects an object into a device context and puts the previous one back; never deletes either.
class CSelectObject
{
public:
    CSelectObject(HDC hDC, HGDIOBJ object)
        : m_hDC(hDC), m_previous(object ? ::SelectObject(hDC, object) : nullptr)
    {
    }
    ~CSelectObject()
    {
        if (m_previous)
            ::SelectObject(m_hDC, m_previous);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;          // not owned
    HGDIOBJ m_previous; // not owned
};

// Sets a device context's text and background colours and restores the previous ones.
class CTextColors
{
public:
    CTextColors(HDC hDC, COLORREF text, COLORREF background)
        : m_hDC(hDC), m_text(::SetTextColor(hDC, text)), m_background(::SetBkColor(hDC, background))
    {
    }
    ~CTextColors()
    {
        ::SetTextColor(m_hDC, m_text);
        ::SetBkColor(m_hDC, m_background);
    }
    CTextColors(const CTextColors&) = delete;
    CTextColors& operator=(const CTextColors&) = delete;

private:
    HDC m_hDC; // not owned
    COLORREF m_text;
    COLORREF m_background;
};

// An icon that we loaded at a size of our choosing (not shared) and must destroy. Moves, never copies.
class CIcon
{
public:
    explicit CIcon(HICON hIcon = nullptr) : m_hIcon(hIcon)
    {
    }
    ~CIcon()
    {
        if (m_hIcon)
            ::DestroyIcon(m_hIcon);
    }
    CIcon(const CIcon&) = delete;
    CIcon& operator=(const CIcon&) = delete;
    CIcon(CIcon&& other) noexcept : m_hIcon(other.m_hIcon)
    {
        other.m_hIcon = nullptr;
    }
    CIcon& operator=(CIcon&& other) noexcept
    {
        if (this != &other)
        {
            if (m_hIcon)
                ::DestroyIcon(m_hIcon);
            m_hIcon = other.m_hIcon;
            other.m_hIcon = nullptr;
        }
        return *this;
    }

    operator HICON() const
    {
        return m_hIcon;
    }

private:
    HICON m_hIcon;
};
