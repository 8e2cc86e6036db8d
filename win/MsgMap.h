// A class's reactions to messages, as a table of rows: message, notification code, control id, handler.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <cstddef>

// A handler answers true when it handled the message, with the message's result in result.
template <class T> struct TMsgEntry
{
    UINT message;
    UINT code; // notification code of WM_COMMAND and WM_NOTIFY; unused for other messages
    UINT id;   // control id of WM_COMMAND and WM_NOTIFY; unused for other messages
    bool (T::*handler)(WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// Runs the first row that matches the message; false when none does.
template <class T, std::size_t N>
bool DispatchMsg(T* self, const TMsgEntry<T> (&table)[N], UINT msg, WPARAM wParam, LPARAM lParam,
                 LRESULT& result)
{
    for (const TMsgEntry<T>& entry : table)
    {
        if (entry.message != msg)
            continue;
        if (msg == WM_COMMAND && (HIWORD(wParam) != entry.code || LOWORD(wParam) != entry.id))
            continue;
        if (msg == WM_NOTIFY)
        {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code != entry.code || header->idFrom != entry.id)
                continue;
        }
        return (self->*entry.handler)(wParam, lParam, result);
    }
    return false;
}
