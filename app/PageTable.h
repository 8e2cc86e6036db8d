// The four tabs in order, one row each: everything the program knows about a page.
#pragma once

#include <array>
#include <memory>

class CContentPage;
class CWnd;

struct CPageKind
{
    const wchar_t* label;       // on the tab, and in the note of a tab that shows the page's file too
    const wchar_t* iniKey;      // the page's key in xml.ini's section
    const wchar_t* defaultPath; // the page's file when there is no xml.ini
    bool hasList;               // Enable All and Disable All act on it
    std::unique_ptr<CContentPage> (*create)(CWnd* parent); // the page's class, which knows its template
};

constexpr int kPageCount = 4;
extern const std::array<CPageKind, kPageCount> kPageKinds;
