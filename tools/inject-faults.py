#!/usr/bin/env python3
"""Injects plausible faults into a copy of the sources, one at a time, and runs the suite that
should catch each. Prints one line per fault and a summary; exits 1 when a fault survives.

Usage: tools/inject-faults.py [--build DIR] [--only ID[,ID...]] [--list]

Each fault replaces one exact piece of a source file (it must occur exactly once, so a fault
that no longer matches the code is reported as stale instead of silently passing).
"""
import argparse
import os
import shutil
import subprocess
import sys

# (id, file, suite, old, new, what)
# suite: "native" runs the engine's tests natively; "win:REGEX" runs the matching Windows tests
# under Wine (the e2e test is "win:e2e").
FAULTS = [
    ("path-ansi", "xml/XmlPlatform.cpp", "win:xml_tests",
     "MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);\n"
     "    if (length <= 0)\n        return false;\n"
     "    native.resize(static_cast<std::size_t>(length));\n"
     "    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,",
     "MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);\n"
     "    if (length <= 0)\n        return false;\n"
     "    native.resize(static_cast<std::size_t>(length));\n"
     "    if (MultiByteToWideChar(CP_ACP, 0,",
     "file paths are read in the ANSI code page instead of UTF-8"),
    ("pages-redraw-off", "pages/CheckListPage.cpp", "win:pages",
     "        m_checkList.Send(WM_SETREDRAW, TRUE);\n",
     "",
     "the list's drawing stays off after the fill"),
    ("clb-hit-box-width", "pages/CheckListBox.cpp", "win:checklist_tests",
     "const int boxColumn = GetBoxColumnWidth();", "const int boxColumn = Resources().cellWidth + 2;",
     "the hit test's box column stays the strip's at every DPI and with a themed box"),
    ("clb-repaint-strip-width", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    box.right = box.left + GetBoxColumnWidth();", "    box.right = box.left + Resources().cellWidth + 2;",
     "a changed check repaints the strip's 13 pixels of a larger box"),
    ("clb-box-fixed-size", "pages/CheckListBox.cpp", "win:checklist_tests",
     "m_box = {ScaleForDpi(resources.cellWidth, m_dpi), ScaleForDpi(resources.cellHeight, m_dpi)};",
     "m_box = {resources.cellWidth, resources.cellHeight};",
     "the strip's box stays 11 pixels at every DPI"),
    ("clb-theme-size-ignored", "pages/CheckListBox.cpp", "win:checklist_tests",
     "            m_box = size;\n", "",
     "the themed box is laid out at the strip's size"),
    ("clb-strip-stretched", "pages/CheckListBox.cpp", "win:checklist_tests",
     "if (!resources.strip || !stripSize)", "if (!resources.strip)",
     "the strip's 11-pixel cell is copied into a larger box"),
    ("clb-no-metrics-on-attach", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    // The template's font was set before we took the list over.\n    UpdateMetrics();\n", "",
     "a list bound after its font was set keeps the list's own line height"),
    ("clb-setfont-ignored", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    case WM_SETFONT:\n", "",
     "a new font leaves the line height as it was"),
    ("clb-contrast-ignored", "pages/CheckListBox.cpp", "win:checklist_tests",
     "        if (highContrast)\n", "        if (false)\n",
     "with high contrast on, the boxes keep the strip's white and black"),
    ("clb-disabled-fixed-grey", "pages/CheckListBox.cpp", "win:checklist_tests",
     "disabled ? SystemColor(COLOR_GRAYTEXT)", "disabled ? RGB(128, 128, 128)",
     "a disabled entry's text is a grey of its own, not the system's"),
    ("clb-empty-end-ellipsis", "pages/CheckListBox.cpp", "win:checklist_tests",
     "DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_NOPREFIX", "DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX",
     "a long path cuts the empty list's line before the reason"),
    ("clb-space-no-toggle", "pages/CheckListBox.cpp", "win:checklist_tests",
     "        SetItemCheck(caret, NextCheck(caret));\n",
     "        InvalidateItemBox(caret);\n",
     "the space bar notifies but does not toggle"),
    ("clb-dblclk-once", "pages/CheckListBox.cpp", "win:checklist_tests",
     "if (msg == WM_LBUTTONDBLCLK && !inBox)", "if (msg == WM_LBUTTONDBLCLK)",
     "a double click on a box is the list's alone: a quick double click toggles once"),
    ("clb-press-no-notify", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    const LRESULT result = Default(msg, wParam, lParam);\n    NotifyCheckChanged();\n",
     "    const LRESULT result = Default(msg, wParam, lParam);\n",
     "a press in the box toggles without CLBN_CHECKCHANGED"),
    ("clb-notify-before-list", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    const LRESULT result = Default(msg, wParam, lParam);\n    NotifyCheckChanged();\n",
     "    NotifyCheckChanged();\n    const LRESULT result = Default(msg, wParam, lParam);\n",
     "the notification comes before the list has selected the pressed item"),
    ("clb-no-state-event", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    InvalidateItemBox(index);\n    RaiseStateChange(m_hWnd, index);\n", "    InvalidateItemBox(index);\n",
     "a stored check raises no accessibility state-change event"),
    ("clb-event-child-id", "pages/CheckListBox.cpp", "win:checklist_tests",
     "s_notify(EVENT_OBJECT_STATECHANGE, hWnd, OBJID_CLIENT, index + 1);",
     "s_notify(EVENT_OBJECT_STATECHANGE, hWnd, OBJID_CLIENT, index);",
     "the state-change event names the item before (child ids start at 1)"),
    ("clb-acc-state-bits", "pages/CheckListAccessible.cpp", "win:checklist_tests",
     "bits |= STATE_SYSTEM_CHECKED;", "bits |= STATE_SYSTEM_MIXED;",
     "a checked item reads as mixed to a screen reader"),
    ("clb-acc-action-no-notify", "pages/CheckListAccessible.cpp", "win:checklist_tests",
     "    m_owner->NotifyCheckChanged();\n", "",
     "the accessibility default action toggles without CLBN_CHECKCHANGED"),
    ("clb-disabled-press", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    if (index >= 0 && !IsItemEnabled(index))\n        return 0;\n", "",
     "a press on a disabled entry toggles and selects it"),
    ("clb-disabled-space", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    if (IsItemEnabled(caret))\n", "    if (caret >= 0)\n",
     "the space bar toggles a disabled entry"),
    ("clb-refusal-dropped", "pages/CheckListBox.cpp", "win:checklist_tests",
     "    return state == 2 && (m_checkMode == BS_CHECKBOX || m_checkMode == BS_AUTOCHECKBOX);",
     "    return state == 2 && m_checkMode == BS_CHECKBOX;",
     "the indeterminate state is stored in the two-state automatic mode"),
    ("wnd-detach-keeps-proc", "win/Wnd.cpp", "win:checklist_tests",
     "            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));\n", "            ;\n",
     "detaching leaves our procedure in GWLP_WNDPROC: the list loses its own handling"),
    ("clb-empty-line-stays", "pages/CheckListBox.cpp", "win:checklist_tests",
     "return !m_emptyText.empty() && GetCount() == 0;", "return !m_emptyText.empty();",
     "the empty list's line stays over the entries once there are some"),
    ("clb-delete-hook-record", "pages/CheckListBox.cpp", "win:checklist_tests",
     "copy.itemData = UserValue(request->itemData);", "copy.itemData = request->itemData;",
     "the deletion hook receives the record instead of the caller's value"),
    ("clb-hit-ignores-scroll", "pages/CheckListBox.cpp", "win:checklist_tests",
     "index = GetTopIndex() + point.y / height;", "index = point.y / height;",
     "the hit test counts rows from the first item, not the top one, in a scrolled list"),
    ("dlg-all-pages", "app/CustomizeDlg.cpp", "win:app_tests",
     "        m_pages[static_cast<size_t>(index)]->SetAllChecks(check);",
     "        for (const auto& page : m_pages)\n            page->SetAllChecks(check);",
     "Enable All and Disable All act on the hidden pages too"),
    ("dlg-close-saves", "app/CustomizeDlg.cpp", "win:app_tests",
     "    EndDialog(IDCLOSE);\n", "    OnSave(0, 0, result);\n    EndDialog(IDCLOSE);\n",
     "the Close button saves before it ends the dialog"),
    ("dlg-two-pages-shown", "app/CustomizeDlg.cpp", "win:app_tests",
     "            ShowWindow(page->m_hWnd, SW_HIDE);\n", "            ;\n",
     "a tab change leaves the previous page shown"),
    ("dlg-focus-stays-hidden", "app/CustomizeDlg.cpp", "win:app_tests",
     "    if (focusLeaves)\n", "    if (false)\n",
     "the focus stays in the page a tab change hides"),
    ("dlg-focus-keyboard-to-tab", "app/CustomizeDlg.cpp", "win:app_tests",
     "HWND target = fromKeyboard ? FirstTabStop(hShown) : nullptr;", "HWND target = nullptr;",
     "Ctrl+Tab leaves the focus on the tab control instead of in the page shown"),
    ("dlg-page-past-area", "app/CustomizeDlg.cpp", "win:app_tests",
     "area.bottom - area.top};", "area.bottom - area.top + 2};",
     "the page ends 2 pixels past the tab control's display area"),
    ("dlg-icon-one-size", "app/CustomizeDlg.cpp", "win:app_tests",
     "MetricForDpi(width, dpi), MetricForDpi(height, dpi), 0)", "32, 32, 0)",
     "the caption's small icon is the 32-pixel image scaled down"),
    ("res-label-after-field", "res/customize.rc", "win:app_tests",
     '    CONTROL "PDF Link Name", -1, "Static", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 22, 25, 90, 8\n'
     '    CONTROL "", IDC_LINK_NAME, "Edit", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,\n'
     '        18, 36, 120, 14\n',
     '    CONTROL "", IDC_LINK_NAME, "Edit", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,\n'
     '        18, 36, 120, 14\n'
     '    CONTROL "PDF Link Name", -1, "Static", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 22, 25, 90, 8\n',
     "the link field's label stands after it: a screen reader finds no name for the field"),
    ("res-note-end-ellipsis", "res/customize.rc", "win:app_tests",
     "SS_NOPREFIX | SS_PATHELLIPSIS", "SS_NOPREFIX | SS_ENDELLIPSIS",
     "a long path cuts the Interface page's note before the reason"),
    ("dlg-about-no-parent", "app/CustomizeDlg.cpp", "win:app_tests",
     "CAboutBox about(this);", "CAboutBox about(nullptr);",
     "the About box has no owner: behind the active window, not centred over the dialog"),
    ("loc-keys-swapped", "app/PageTable.cpp", "win:app_tests",
     "{L\"Softkeys\",  L\"Softkeys\",",
     "{L\"Softkeys\",  L\"StartHere\",",
     "the Softkeys page reads the StartHere key of xml.ini"),
    ("loc-section-name", "app/Locations.cpp", "win:app_tests",
     'kLocationsSection = L"XMLFiles";', 'kLocationsSection = L"XMLFile";',
     "the locations file's section name is misspelt"),
    ("loc-ini-utf8-as-ansi", "app/Locations.cpp", "win:app_tests",
     "return !utf8.empty() || bytes.empty() ? utf8 :", "return bytes.empty() ? utf8 :",
     "an xml.ini in UTF-8 without a mark is read in the ANSI code page"),
    ("loc-ini-utf16be-as-le", "app/Locations.cpp", "win:app_tests",
     "return DecodeUtf16(bytes, 2, true);", "return DecodeUtf16(bytes, 2, false);",
     "an xml.ini in UTF-16 BE is read as LE"),
    ("loc-ini-quotes-kept", "app/Locations.cpp", "win:app_tests",
     "value.back() == value[0])", "value.back() == value[0] && false)",
     "a quoted xml.ini value keeps its quotes"),
    ("loc-ini-later-section", "app/Locations.cpp", "win:app_tests",
     "            if (inSection)\n                return false;\n", "",
     "a key of a later [XMLFiles] section is taken when the first lacks it"),
    ("loc-bare-name", "app/Locations.cpp", "win:app_tests",
     "location.fullPath = WithOwnName(FullPath(location.shown));",
     "location.fullPath = WithOwnName(location.shown);",
     "relative content paths are not made full: Wine's ReplaceFileW refuses a bare name"),
    ("loc-case-as-given", "app/Locations.cpp", "win:app_tests",
     "return fullPath.substr(0, slash + 1) + found.cFileName;", "return fullPath;",
     "Save writes FEATURES.XML beside features.xml when xml.ini spells it so"),
    ("loc-same-file-by-path", "xml/XmlPlatform.cpp", "win:app_tests",
     "if (FileIdentity(nativeA, infoA) && FileIdentity(nativeB, infoB))",
     "if (false && FileIdentity(nativeA, infoA) && FileIdentity(nativeB, infoB))",
     "two existing files are compared by path, not identity: a short name or a link differs"),
    ("loc-same-file-volume-only", "xml/XmlPlatform.cpp", "win:app_tests",
     "infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;", "true;",
     "any two files on one volume are the same file"),
    ("app-com-mta", "app/CustomizeApp.cpp", "win:app_tests",
     "COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE", "COINIT_MULTITHREADED",
     "the UI thread is in the multithreaded apartment: accessibility calls run on other threads"),
    ("app-com-left-open", "app/CustomizeApp.cpp", "win:app_tests",
     "    if (SUCCEEDED(com))\n        CoUninitialize();\n", "    (void)com;\n",
     "the apartment entered at start-up is never left"),
    # The XML engine, caught by its native tests.
    ("comment-open-overlap", "xml/XmlScanner.cpp", "native",
     'return EndAfter(input, size, start + sizeof kCommentOpen - 1, "-->");',
     'return EndAfter(input, size, start + 2, "-->");',
     'a comment that opens as "<!-->" ends at once: a "<" inside it starts a tag'),
    ("cdata-as-declaration", "xml/XmlScanner.cpp", "native",
     'return EndAfter(input, size, start + sizeof kCDataOpen - 1, "]]>");',
     'return DeclarationEnd(input, size, start);',
     'a CDATA section ends at the first "]>" like a declaration'),
    ("value-any-quote", "xml/XmlScanner.cpp", "native",
     'std::memchr(input + i, quote, size - i)',
     "std::memchr(input + i, '\"', size - i)",
     'a single-quoted value ends at a double quote'),
    ("subset-comment-quote", "xml/XmlScanner.cpp", "native",
     'if (inSubset && StartsWith(input, size, i, kCommentOpen, sizeof kCommentOpen - 1))',
     'if (false)',
     "a DOCTYPE subset's comment is not skipped whole: its lone quote hides the document"),
    ("bare-attribute-merges", "xml/XmlScanner.cpp", "native",
     '            inAttributeName = false;\n            break;\n        default:',
     '            break;\n        default:',
     'an attribute without a value merges with the next name'),
    ("writer-quot-entity", "xml/XmlWriter.cpp", "native",
     "const char* entity = c == quote ? (quote == '\"' ? \"&quot;\" : \"&apos;\") : c == '<' ? \"&lt;\" : nullptr;",
     "const char* entity = c == '<' ? \"&lt;\" : nullptr;",
     "a changed value holding the file's quote is written with the quote bare"),
    ("end-tag-by-name", "xml/XmlScanner.cpp", "native",
     "void EndElement(const Piece& /*name*/, std::size_t /*pos*/, std::size_t tag)\n        {\n            Flush();\n"
     "            if (m_current == &m_document.m_root || !m_current->m_parent)\n                return;",
     "void EndElement(const Piece& name, std::size_t /*pos*/, std::size_t tag)\n        {\n            Flush();\n"
     "            if (m_current == &m_document.m_root || !m_current->m_parent ||\n"
     "                std::string_view(m_current->m_name) != std::string_view(m_text + name.start, name.end - name.start))\n"
     "                return;",
     "an end tag closes only an element of its own name"),
    ("move-steals-borrowed", "xml/XmlString.cpp", "native",
     'CXmlString::CXmlString(CXmlString&& other) : CXmlString()\n{\n    if (other.m_size & kOwnedBit)',
     'CXmlString::CXmlString(CXmlString&& other) : CXmlString()\n{\n    if (true)',
     "a string moved out of a document keeps pointing into the document's bytes"),
    ("move-assign-steals", "xml/XmlString.cpp", "native",
     '        return *this;\n    if (other.m_size & kOwnedBit)',
     '        return *this;\n    if (true)',
     "a string move-assigned from a document's string points into the document's bytes"),
    ("parsefile-status-kept", "xml/XmlScanner.cpp", "native",
     "        OnFileNotParsed(error,", "        if (false)\n            OnFileNotParsed(error,",
     "a ParseFile that reads nothing leaves the status of the load before it"),
    ("array-pool-mixed", "xml/XmlString.cpp", "native",
     "        t_arrayPools[steps - 1].Free(items);", "        t_arrayPools[steps % kArrayPools].Free(items);",
     "an array goes back to the pool of arrays one pointer longer"),
    ("array-shrink-drops-last", "xml/Xml.h", "native",
     "        for (std::uint32_t i = 0; i < m_size; ++i)\n        {\n            new (items + i)",
     "        for (std::uint32_t i = 0; i + 1 < m_size; ++i)\n        {\n            new (items + i)",
     "an array that moves to new room leaves its last item behind"),
    ("codepage-piece-cut", "xml/XmlConvert.cpp", "native",
     "        while (to < bytes.size() && bytes[to - 1] != '\\n')\n            ++to;\n", "",
     "a long file in a double-byte code page is checked in pieces cut inside a character"),
    ("codepage-first-piece-only", "xml/XmlConvert.cpp", "native",
     "            return false;\n        from = to;", "            return false;\n        from = bytes.size();",
     "a long file in a code page is checked in its first 64 KiB only"),
    ("scan-nul-unseen", "xml/XmlScanner.cpp", "native",
     "            if (nul)\n                m_nul =", "            if (false)\n                m_nul =",
     "a NUL in a file is not seen while it is parsed, so a binary file loads as text"),
    ("scan-nul-kept-tree", "xml/XmlTree.cpp", "native",
     "        if (nul != size)\n            error = XmlFileError::NotText;", "",
     "a file found to hold a NUL keeps the tree built from it"),
    ("scan-utf8-unchecked", "xml/XmlScanner.cpp", "native",
     "                m_utf8 = IsValidUtf8(std::string_view(m_text + m_checked, size));",
     "                m_utf8 = IsValidUtf8(std::string_view(m_text + m_checked, 0));",
     "an undeclared file's bytes are taken for UTF-8 without being checked"),
    ("load-no-rollback", "xml/XmlTree.cpp", "native",
     '        while (m_root.m_children.size() > rootChildren)\n            m_root.m_children.pop_back();\n',
     '',
     'a load that runs out of memory keeps the nodes it made'),
    ("temp-not-removed", "xml/XmlPlatform.cpp", "native",
     "    if (!m_temp.empty())\n        RemoveFile(m_temp);\n    m_temp.clear();",
     "    m_temp.clear();",
     "a save that is not committed leaves its new file beside the target"),
    ("write-in-place", "xml/XmlPlatform.cpp", "native",
     'fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);',
     'fd = ::open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);',
     'save writes over the target instead of beside it'),
    ("utf16-byte-order", "xml/XmlWriter.cpp", "native",
     'm_bigEndian = IsUtf16BigEndian(codePage);',
     'm_bigEndian = !IsUtf16BigEndian(codePage);',
     'a UTF-16 file is written in the other byte order'),
    ("bom-dropped", "xml/XmlTree.cpp", "native",
     'm_fileMark = encoding.byteOrderMark;',
     'm_fileMark = false;',
     "a UTF-16 file's byte-order mark is not written back"),
    ("utf16-failure-ignored", "xml/XmlWriter.cpp", "native",
     "            m_string->append(m_converted);\n        else\n            m_ok = false;",
     "            m_string->append(m_converted);",
     "a UTF-16 file's tree that is not UTF-8 is saved with pieces missing"),
    ("long-copy-ahead", "xml/XmlWriter.cpp", "native",
     "        Flush();\n        if (size < kWriteBufferSize)\n        {\n",
     "        if (size < kWriteBufferSize)\n        {\n            Flush();\n",
     "a copied stretch longer than the write buffer goes out ahead of the bytes still in it"),
    ("parse-keeps-syntax", "xml/XmlTree.cpp", "native",
     "        m_syntax = SyntaxOf(text, m_syntaxError, m_syntaxOffset, DetectEncoding(text));\n",
     "",
     "an inherited Parse leaves Syntax describing the file loaded before"),
    ("failed-load-keeps-syntax", "xml/Xml.h", "native",
     "        m_status = CXmlFileStatus{error, offset};\n        m_syntax = CXmlSyntax{};\n",
     "        m_status = CXmlFileStatus{error, offset};\n",
     "a load that failed leaves Syntax describing the file loaded before"),
    ("detect-no-utf8", "xml/XmlTree.cpp", "native",
     '    if (utf8Unchecked && !utf8)\n', '    if (utf8Unchecked)\n',
     'a valid UTF-8 file that declares no other encoding is read in the ANSI code page'),
    ("detect-declaration-ignored", "xml/XmlEncoding.cpp", "native",
     '        return {codePage, false, true};',
     '        return {IsValidUtf8(bytes) ? kCodePageUtf8 : codePage, false, true};',
     'valid UTF-8 wins over the declared encoding'),
    ("declared-not-checked", "xml/XmlTree.cpp", "native",
     "             !IsValidInCodePage(file, encoding.codePage))", "             false)",
     "a file with bytes invalid in its declared code page is read"),
    ("encode-quote", "xml/XmlValue.cpp", "native",
     "else if (c == '\"' && quote != '\\'')",
     "else if (c == '\"' && quote == '\\'')",
     "EncodeXmlValue escapes the double quote only inside single quotes"),
    ("encode-less-than", "xml/XmlValue.cpp", "native",
     'value += "&lt;";',
     'value += "<";',
     "EncodeXmlValue leaves '<' as it is"),
    ("decode-hex-digit", "xml/XmlValue.cpp", "native",
     "digit = static_cast<char32_t>(c - 'a' + 10);",
     "digit = static_cast<char32_t>(c - 'a');",
     'DecodeXmlValue reads hexadecimal a-f as 0-5'),
    ("surrogate-pair", "xml/XmlInternal.h", "native",
     'c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);',
     'c = ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);',
     'a UTF-16 surrogate pair is read without its 0x10000 offset'),
    ('pages-enabled-unchecked', 'content/ContentFile.cpp', 'win:pages',
     '    else if (on)\n        node.AddAttribute("enabled", "1");',
     '    else\n        node.AddAttribute("enabled", on ? "1" : "0");',
     'a missing enabled attribute is appended for an unchecked entry too'),
    ('pages-nameless-skipped', 'content/ContentFile.cpp', 'win:pages',
     '            if (m_lines[i].on != m_lines[i].readOn)\n                StoreEnabled(',
     '            if (m_lines[i].on != m_lines[i].readOn && m_items[i].node->FindAttribute("name"))\n                StoreEnabled(',
     'an item without a name is not saved'),
    ('pages-untouched-reencoded', 'content/ContentFile.cpp', 'win:pages',
     '    const bool nameChanged = m_linkName != m_readLinkName;',
     '    const bool nameChanged = true;',
     'the untouched link field is stored re-encoded, not as the file had it'),
    ('pages-enabled-prefix', 'content/ContentFile.cpp', 'win:pages',
     '    return enabled && DecodeXmlValueExactly(enabled->m_value, codePage, text) && text == u"1";',
     "    return enabled && DecodeXmlValueExactly(enabled->m_value, codePage, text) && !text.empty() && text[0] == u'1';",
     'a flag that begins with "1" ("10", "1 ") reads as on'),
    ('pages-enabled-not-zero', 'content/ContentFile.cpp', 'win:pages',
     '    return enabled && DecodeXmlValueExactly(enabled->m_value, codePage, text) && text == u"1";',
     '    return enabled && DecodeXmlValueExactly(enabled->m_value, codePage, text) && text != u"0";',
     'any flag other than "0" ("yes", "true") reads as on'),
    ('iface-last-link-only', 'content/ContentFile.cpp', 'win:pages',
     '    for (const CItem& link : m_items)\n    {\n        if (!nameChanged)',
     '    for (const CItem& link : m_items)\n    {\n        if (&link != &m_items.back())\n            continue;\n        if (!nameChanged)',
     'a change on the Interface page goes into the shown link item only'),
    ('save-report-unread-skipped', 'pages/ContentPage.cpp', 'win:app_tests',
     '    case ContentLock::NotRead:\n        return ReadFailure(file);',
     '    case ContentLock::NotRead:\n        return std::wstring();',
     "Save's warning leaves out a tab whose file could not be read"),
    ('pages-wrong-quote', 'content/ContentFile.cpp', 'win:pages',
     'EncodeXmlValue(m_linkName, m_document->TreeCodePage())',
     "EncodeXmlValue(m_linkName, m_document->TreeCodePage(), '\\'')",
     'typed text is encoded for single quotes while the writer uses double ones'),
    ('pages-save-unread', 'content/ContentFile.cpp', 'win:pages',
     '    if (m_document->Syntax().error != XmlSyntaxError::None)\n        return ContentLock::NotWellFormed;\n',
     '',
     'a file that is not well-formed is written'),
    ('pages-shown-western', 'content/ContentFile.cpp', 'win:pages',
     'DecodeXmlValue(name->m_value, codePage)',
     'DecodeXmlValue(name->m_value, 1252)',
     "list entries are decoded from the Western code page, whatever the file's"),
    ('pages-stored-utf8', 'content/ContentFile.cpp', 'win:pages',
     'EncodeXmlValue(m_linkName, m_document->TreeCodePage())',
     'EncodeXmlValue(m_linkName, 65001)',
     "typed text is stored as UTF-8, whatever the file's code page"),
    ('pages-codepage-utf8', 'content/ContentFile.cpp', 'win:pages',
     '    const unsigned codePage = m_document->TreeCodePage();',
     '    const unsigned codePage = 65001;',
     "the pages take every file's values as UTF-8, whatever its code page"),
    ('e2e-typed-western', 'content/ContentFile.cpp', 'win:e2e',
     'EncodeXmlValue(m_linkName, m_document->TreeCodePage())',
     'EncodeXmlValue(m_linkName, 1252)',
     'typed text is stored in the Western code page in a UTF-8 file'),
    ('set-save-skips-file', 'content/ContentSet.cpp', 'native',
     '        else if (result.file->HasChanges())',
     '        else if (result.file->HasChanges() && &result != &results.back())',
     'Save skips the last file of the set'),
    ('dlg-buttons-on-interface', 'app/CustomizeDlg.cpp', 'win:app_tests',
     '    EnableWindow(m_enableAllButton.m_hWnd, ButtonsAct(index));\n    EnableWindow(m_disableAllButton.m_hWnd, ButtonsAct(index));',
     '    EnableWindow(m_enableAllButton.m_hWnd, TRUE);\n    EnableWindow(m_disableAllButton.m_hWnd, TRUE);',
     'Enable All stays enabled on the Interface tab and on read-only tabs'),
    ('save-no-recheck', 'xml/XmlWriter.cpp', 'native',
     '    if (error == XmlFileError::None)\n        error = m_file->Commit();',
     '    error = m_file->Commit();',
     'a file changed after it was read or asked about is replaced all the same'),
    ('save-recreates-deleted', 'xml/XmlWriter.cpp', 'native',
     '        return exists ? XmlFileError::NotFound : XmlFileError::None;',
     '        return XmlFileError::None;',
     'a file deleted or moved since it was read is recreated without a question'),
    # A save cut off, a last-moment writer, the question's way out, failures told.
    ('replace-moves-target-away', 'xml/XmlPlatform.cpp', 'native',
     '            error = KeepSecondName(m_target, m_backup);',
     '            error = MovePath(m_target, m_backup, true);',
     'the previous version is moved away before the new one takes its name: a crash leaves no file'),
    ('record-after-first-file', 'content/ContentSet.cpp', 'native',
     '    error = record.Mark(SaveStage::Placing);',
     '    error = XmlFileError::None;',
     'the record does not say that new versions are being put in place: a crash leaves the set half new'),
    ('recovery-keeps-new-file', 'content/SaveRecord.cpp', 'native',
     '(kept && fail(XmlDisk::MoveOver(entry->backup.c_str(), entry->target.c_str()), entry->target)))',
     '(kept && fail(XmlDisk::Remove(entry->backup.c_str()), entry->target)))',
     'a start after a cut-off save drops the previous version instead of putting it back'),
    ('recovery-removes-unnamed', 'content/SaveRecord.cpp', 'native',
     '        for (const CSaveRecordEntry& entry : entries)\n            fail(XmlDisk::Remove(entry.temp.c_str()), entry.temp);',
     '        for (const CSaveRecordEntry& entry : entries)\n            fail(XmlDisk::Remove(entry.temp.c_str()), entry.temp);\n'
     '        fail(XmlDisk::Remove((entries.empty() ? path : entries[0].target + ".~3.tmp").c_str()), path);',
     'a start removes a file the record does not name'),
    ('last-moment-write-lost', 'xml/XmlWriter.cpp', 'native',
     '        if (previous != XmlFileError::None)\n        {',
     '        if (false)\n        {',
     'a write by another program just before the rename is replaced without a word'),
    ('cancel-reads-other', 'content/ContentSet.cpp', 'native',
     '            for (const auto& cancelled : writes)\n                cancelled->result->outcome = SaveOutcome::Cancelled;\n            writes.clear();\n            return;',
     '            for (const auto& cancelled : writes)\n                cancelled->result->outcome = SaveOutcome::Cancelled;\n            writes.clear();\n            for (CContentFile* other : keepOther)\n                other->Reload();\n            file.Reload();\n            return;',
     'Cancel drops the person\'s choices and reads the other program\'s version'),
    ('readonly-late-access-denied', 'xml/XmlPlatform.cpp', 'native',
     '        error = Replaceable(m_target);\n        if (error == XmlFileError::None)\n        {',
     '        error = Replaceable(m_target) == XmlFileError::ReadOnly ? XmlFileError::AccessDenied : Replaceable(m_target);\n        if (error == XmlFileError::None)\n        {',
     'a file marked read-only after the check is reported as access denied'),
    ('save-exception-silent', 'content/ContentSet.cpp', 'native',
     '        Undo(writes, record, failing, XmlFileError::Failed);\n    }',
     '        Undo(writes, record, nullptr, XmlFileError::Failed);\n        for (CSaveResult& result : results)\n            result.outcome = SaveOutcome::Unchanged;\n    }',
     'a save that runs out of memory ends without a word'),
    ('question-escape-no', 'app/CustomizeDlg.cpp', 'win:e2e',
     '        SendMessageW(hWnd, TDM_CLICK_BUTTON, IDCANCEL, 0);',
     '        SendMessageW(hWnd, TDM_CLICK_BUTTON, IDNO, 0);',
     'Escape at the question keeps the other program\'s version instead of cancelling'),
    ('save-no-rollback', 'content/ContentSet.cpp', 'native',
     '        result.error = write.save.Rollback();',
     '        result.error = XmlFileError::None;',
     'a file already in place is not put back when a later one fails'),
    ('save-backup-left', 'xml/XmlPlatform.cpp', 'native',
     '    if (m_committed && !m_backup.empty())\n        RemovePath(m_backup);',
     '    if (m_committed && m_backup.empty())\n        RemovePath(m_backup);',
     'the previous version is left beside the file after a save'),
    ('save-kept-removed', 'xml/XmlPlatform.cpp', 'native',
     '        m_kept.swap(m_backup);',
     '        RemoveFile(m_backup);',
     'a previous version that could not be put back is deleted'),
    ('save-snapshot-late', 'content/ContentSet.cpp', 'native',
     '        const SaveAnswer answer = questions ? questions->AskReplace(file, found) : SaveAnswer::KeepOther;',
     '        const SaveAnswer answer = questions ? questions->AskReplace(file, found) : SaveAnswer::KeepOther;\n'
     '        if (write.replacing.Read(file.Path().c_str()) != XmlFileError::None)\n            return;',
     'what may be replaced is read after the question, taking in what changed meanwhile'),
    ('readonly-model-accepts', 'content/ContentFile.cpp', 'win:pages',
     '    if (!CanWrite() || index >= m_lines.size())',
     '    if (index >= m_lines.size())',
     'a read-only file takes a changed line'),
    ('readonly-a11y-toggles', 'pages/CheckListAccessible.cpp', 'win:checklist_tests$',
     '    if (!m_owner->AllowsUserToggle())\n        return S_OK;\n',
     '',
     "a screen reader's default action ticks a read-only line"),
    ('readonly-focus-on-disabled', 'app/CustomizeDlg.cpp', 'win:app_tests',
     '(!ButtonsAct(index) &&',
     '(!kPageKinds[static_cast<size_t>(index)].hasList &&',
     'the focus stays on Enable All when it is disabled on a read-only tab'),
    ('list-spacing-unscaled', 'pages/CheckListBox.cpp', 'win:checklist_tests.dpi192',
     'ScaleForDpi(kLineSpacing, m_dpi);',
     'kLineSpacing;',
     'the space between list lines stays 3 pixels at every DPI'),
    ('ini-empty-quotes', 'app/Locations.cpp', 'win:app_tests',
     '        if (value.size() >= 2 && (value[0] == L\'"\'',
     '        if (value.size() > 2 && (value[0] == L\'"\'',
     'an empty pair of quotes in xml.ini is taken as the path'),
    # What readers read: exact values, the standard forms, the check's tolerance, the offsets of bad bytes.
    ("exact-entity-edited", "xml/XmlValue.cpp", "native",
     "            if (BeginsReference(value.substr(i + 1)))\n                return false;\n            continue;",
     "            continue;",
     "a value holding a reference to a declared entity counts as exactly decoded"),
    ("exact-no-normalise", "xml/XmlValue.cpp", "native",
     "        text += c == u'\\t' || c == u'\\n' || c == u'\\r' ? u' ' : c;",
     "        text += c;",
     "tab and line breaks in a value are taken as written, not as the spaces readers read"),
    ("exact-standard-unchecked", "xml/XmlValue.cpp", "native",
     "                !XmlDetail::InStandardForm(*standard, bytesOfOne, c))",
     "                false)",
     "a value in bytes outside the standard form (a backslash in Shift_JIS) counts as exactly decoded"),
    ("exact-control-char", "xml/XmlValue.cpp", "native",
     "        if (!XmlDetail::IsDocumentChar(c) && !XmlDetail::IsSurrogate(c))\n            return false;\n",
     "",
     "a value holding a control character counts as exactly decoded, though the writer cannot put it back"),
    ("standard-form-unchecked", "xml/XmlValue.cpp", "native",
     "        if (Utf16ToCodePage(valid.substr(i, length), codePage, bytes) &&\n"
     "            (!standard || XmlDetail::InStandardForm(*standard, bytes, c)))",
     "        if (Utf16ToCodePage(valid.substr(i, length), codePage, bytes))",
     "typed text is written in the Windows extensions of Shift_JIS, GB2312, Big5, EUC-KR and EUC-JP"),
    ("standard-form-unchecked-wine", "xml/XmlValue.cpp", "win:xml_tests",
     "        if (Utf16ToCodePage(valid.substr(i, length), codePage, bytes) &&\n"
     "            (!standard || XmlDetail::InStandardForm(*standard, bytes, c)))",
     "        if (Utf16ToCodePage(valid.substr(i, length), codePage, bytes))",
     "with Windows' own tables, typed text is written in their extensions of Shift_JIS, GB2312, EUC-JP"),
    ("standard-ascii-unchecked", "xml/XmlValue.cpp", "native",
     "        else if (!asciiAlike && !XmlDetail::InStandardForm(*standard, std::string_view(&ascii, 1), c))",
     "        else if (false)",
     "a typed backslash or tilde is a byte in Shift_JIS, which readers read as a yen sign or an overline"),
    ("single-byte-system-table", "xml/XmlStandardForms.cpp", "native",
     "constexpr char16_t kPage1252[] = {\n    0x20AC, 0x0000,",
     "constexpr char16_t kPage1252[] = {\n    0x20AC, 0x0081,",
     "the standard table of windows-1252 takes Windows' reading of the undefined byte 81"),
    ("single-byte-any-char", "xml/XmlCodePages.cpp", "native",
     "        return StandardChar(form, static_cast<unsigned char>(code)) == c;",
     "        return StandardChar(form, static_cast<unsigned char>(code)) != 0;",
     "a byte counts as standard when readers read it as any character: CP864's '%' is written as a byte"),
    ("single-byte-exact-by-system", "xml/XmlValue.cpp", "win:xml_tests",
     "    else if (standard && standard->chars)\n    {\n        // A single-byte page is read as",
     "    else if (false)\n    {\n        // A single-byte page is read as",
     "a single-byte value is read exactly by Windows' table: windows-1252's 81, which readers refuse"),
    ("single-byte-forms-dropped", "xml/XmlCodePages.cpp", "win:xml_tests",
     "    return found != end && found->codePage == codePage ? found : nullptr;",
     "    return found != end && found->codePage == codePage && !found->chars ? found : nullptr;",
     "single-byte pages are written by Windows' tables: U+0081 as windows-1252's undefined byte 81"),
    ("utf8-declared-as-ansi", "xml/XmlTree.cpp", "native",
     "    const bool utf8Required = encoding.codePage == kCodePageUtf8 && !utf8Unchecked;",
     "    const bool utf8Required = false;",
     "a file declaring UTF-8 whose bytes are not UTF-8 is read in the ANSI code page"),
    ("utf8-offset-skips", "xml/XmlConvert.cpp", "native",
     "            if (length == 0)\n                break;",
     "            if (length == 0)\n                length = 1;",
     "the offset of a file's first byte that is not UTF-8 is the file's end"),
    ("name-separators-kept", "xml/XmlCodePages.cpp", "native",
     "    return c == '-' || c == '_' || c == '.';", "    return false;",
     "an encoding name is compared with its separators: utf_8 and LATIN-1 are unknown"),
    ("name-ibm-any-page", "xml/XmlEncoding.cpp", "native",
     "        return number <= kLastIbmPcPage ? NumberOf(XmlDetail::CodePageByNumber(number)) : 0;",
     "        return NumberOf(XmlDetail::CodePageByNumber(number));",
     "ibm932, IBM's own table, is read and written as Windows' 932"),
    ("name-ebcdic-thai", "xml/XmlEncoding.cpp", "native",
     "csunicode ibmthai csibmthai ", "csunicode ",
     "a file declared IBM-Thai, an EBCDIC page, is editable"),
    ("untabled-as-utf8", "xml/XmlEncoding.cpp", "native",
     "        if (KeepsAscii(XmlDetail::NormalEncodingName(name)))\n            return {kCodePageAsciiOnly, false, true};\n",
     "",
     "a file declared in an encoding without a table (ISO-8859-16) gets typed text as UTF-8 bytes"),
    ("utf7-writable", "xml/XmlTree.cpp", "native",
     "    if (encoding.unwritableName != 0 &&",
     "    if (false && encoding.unwritableName != 0 &&",
     "a file declared UTF-7 or EBCDIC stays editable"),
    ("control-not-text", "xml/XmlScanner.cpp", "native",
     "            const void* nul = std::memchr(m_text + m_checked, '\\0', size);",
     "            const std::size_t found = std::string_view(m_text + m_checked, size).find_first_of(std::string_view(\"\\0\\f\\x1A\", 3));\n"
     "            const void* nul = found == std::string_view::npos ? nullptr : m_text + m_checked + found;",
     "a file holding a form feed or DOS's end-of-file mark is not text"),
    ("check-percent-block", "xml/XmlCheck.cpp", "native",
     "        if (m_pos + 1 < m_size && m_text[m_pos + 1] == '%')\n        {\n            ++m_pos;\n            continue;\n        }\n",
     "",
     "a <% %> block between items makes the file read-only"),
    ("check-comment-dashes", "xml/XmlCheck.cpp", "native",
     "    const std::size_t end = Find(m_pos + 4, \"-->\");\n    if (end == m_size)",
     "    const std::size_t end = Find(m_pos + 4, \"--\");\n    if (end == m_size || m_text[end + 2] != '>')",
     "a comment with \"--\" in it makes the file read-only"),
    ("check-eof-mark", "xml/XmlCheck.cpp", "native",
     "m_searched(size > 0 && text[size - 1] == '\\x1A' ? size - 1 : size)",
     "m_searched(size)",
     "the end-of-file mark that DOS tools wrote makes the file read-only"),
    ("tag-gap-unchecked", "xml/XmlWriter.cpp", "native",
     "read.name == nameEnd || !Blanks(at, read.name) ||", "read.name == nameEnd ||",
     "an attribute removed from the tree is still copied from the file"),
    ("quote-assumed-double", "xml/XmlScanner.cpp", "native",
     "                attribute.m_quote = m_text[pos];", "                attribute.m_quote = '\"';",
     "every value is taken to be in double quotes: single-quoted tags are written anew"),
    ("check-after-scan", "xml/XmlScanner.cpp", "native",
     "            sink.Markup(at);\n", "",
     "the check runs after the scan has terminated the strings in place"),
    ("empty-tag-end-lost", "xml/XmlScanner.cpp", "native",
     "                node = node->m_children.back().get();\n", "",
     "an empty-element tag's end is not recorded: it is written in the engine's own form"),
    ("end-tag-name-rewritten", "xml/XmlWriter.cpp", "native",
     "        if (at + 2 > size || m_source[at + 1] != '/')\n            return false;",
     "        if (at + 2 > size || m_source[at + 1] != '/' || !SourceHolds(at + 2, node.m_name))\n            return false;",
     "a changed file's end tag naming another element is rewritten with the element's name"),
    ("invalid-byte-in-line", "xml/XmlConvert.cpp", "native",
     "    return at;\n}\n\nbool Utf16ToCodePage",
     "    const std::size_t line = bytes.rfind('\\n', at);\n"
     "    return at - (line == std::string_view::npos ? 0 : line + 1);\n}\n\nbool Utf16ToCodePage",
     "the first invalid byte is counted from the start of its line"),
    ('flags-not-decoded', 'content/ContentFile.cpp', 'win:pages',
     '    return enabled && DecodeXmlValueExactly(enabled->m_value, codePage, text) && text == u"1";',
     '    return enabled && enabled->m_value == "1";',
     'a flag written as a reference ("&#49;") reads as off'),
    ('link-inexact-editable', 'content/ContentFile.cpp', 'win:pages',
     '            if (!m_linkExact)\n                m_readLinkName = DecodeXmlValue(value, codePage);',
     '            if (!m_linkExact)\n                m_readLinkName = DecodeXmlValue(value, codePage);\n            m_linkExact = true;',
     'a link name with a declared entity can be edited, and typing re-escapes the entity'),
    ('syntax-text-shared', 'pages/ContentPage.cpp', 'win:pages',
     '    {XmlSyntaxError::ControlCharacter,   IDS_SYNTAX_CONTROL      },',
     '    {XmlSyntaxError::ControlCharacter,   IDS_SYNTAX_BAD_MARKUP   },',
     'a control character is reported as bad markup'),
    ('syntax-encoding-as-form', 'pages/ContentPage.cpp', 'win:pages',
     'syntax.error == XmlSyntaxError::UnwritableEncoding ? IDS_READ_ONLY_ENCODING',
     'syntax.error == XmlSyntaxError::None ? IDS_READ_ONLY_ENCODING',
     'a file in an encoding nothing can be typed into is called not well-formed'),
]

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, cwd, timeout=900):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        return p.returncode, p.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired:
        return 124, "timed out"


def copy_sources(dest):
    files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                           stdout=subprocess.PIPE, check=True).stdout.split(b"\0")
    for f in files:
        if not f:
            continue
        src = os.path.join(ROOT, f.decode())
        if not os.path.isfile(src):
            continue
        dst = os.path.join(dest, f.decode())
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        if not os.path.exists(dst) or open(src, "rb").read() != open(dst, "rb").read():
            shutil.copy(src, dst)  # a new time, so that the build sees the change


def configure(src, build):
    common = ["-G", "Ninja", "-DCUSTOMIZE_WERROR=OFF"]
    if not os.path.exists(os.path.join(build, "native", "CMakeCache.txt")):
        run(["cmake", "-S", src, "-B", os.path.join(build, "native"), *common, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], src)
    if not os.path.exists(os.path.join(build, "win64", "CMakeCache.txt")):
        run(["cmake", "-S", src, "-B", os.path.join(build, "win64"), *common, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(src, "cmake", "x86_64-w64-mingw32.cmake")], src)


def test(src, build, suite):
    """0 when the suite passes, 1 when it fails, 2 when the sources do not build."""
    kind, _, regex = suite.partition(":")
    folder = os.path.join(build, "native" if kind == "native" else "win64")
    rc, out = run(["cmake", "--build", folder], src)
    if rc != 0:
        return 2, out
    cmd = ["ctest", "--test-dir", folder, "--output-on-failure", "--timeout", "120"]
    if regex:
        cmd += ["-R", regex]
    rc, out = run(cmd, src)
    return (0 if rc == 0 else 1), out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "faults"))
    ap.add_argument("--only", default="")
    ap.add_argument("--list", action="store_true")
    args = ap.parse_args()
    faults = [f for f in FAULTS if not args.only or f[0] in args.only.split(",")]
    if args.list:
        for f in faults:
            print(f"{f[0]:<24} {f[2]:<22} {f[5]}")
        return 0

    src = os.path.join(args.build, "src")
    copy_sources(src)
    configure(src, args.build)
    for suite in sorted({f[2] for f in faults}):
        rc, out = test(src, args.build, suite)
        if rc != 0:
            print(f"the suite {suite} fails without any fault:\n{out[-3000:]}")
            return 2

    survived = []
    for fid, path, suite, old, new, what in faults:
        target = os.path.join(src, path)
        text = open(target, encoding="utf-8").read()
        if text.count(old) != 1:
            print(f"STALE     {fid:<24} {path}: the piece occurs {text.count(old)} times")
            survived.append(fid)
            continue
        try:
            open(target, "w", encoding="utf-8").write(text.replace(old, new))
            rc, out = test(src, args.build, suite)
        finally:
            open(target, "w", encoding="utf-8").write(text)
        verdict = {0: "SURVIVED", 1: "caught", 2: "NO BUILD"}[rc]
        print(f"{verdict:<9} {fid:<24} {suite:<22} {what}", flush=True)
        if rc != 1:
            survived.append(fid)
    print(f"{len(faults) - len(survived)} of {len(faults)} faults caught" +
          (f"; not caught: {', '.join(survived)}" if survived else ""))
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
