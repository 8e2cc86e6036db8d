#include <windows.h>
#include <oleacc.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "CheckListPage.h"
#include "ContentSet.h"
#include "ContentText.h"
#include "InterfaceDlg.h"
#include "PageTestSupport.h"
#include "resource.h"

namespace
{
enum class EPage
{
    Features,
    Softkeys,
    StartHere,
    Interface,
};

struct SRow
{
    const char* name;
    EPage page;
    const char* input;      // data file copied for the row; "" for an empty path, null for none
    const wchar_t* actions; // b<i> box of entry i, s<i> space bar on it, t<i> press on its text, d<i>
                            // double click on its box, o<i> its box changed from outside the list (a
                            // reader's, say), E and D Enable and Disable All, c the link box
    const wchar_t* typed;   // typed over the link field; null leaves it untouched
    const wchar_t* shown;   // after loading: the entries' texts joined by "|", or the link field
    const char* checks;     // after loading: a digit per entry, or the link box
    const wchar_t* note;    // after loading, following the path: the empty list's line or the link note
    const char* expected;   // the file after Save, twice; null: as it was
    bool writable = true;   // false: the file may not be written, takes no change, and Save says so
    const wchar_t* pageNote = L""; // above the page, following the path: why it is (partly) read-only
};

const wchar_t kFeatures[] =
    L"CallForward|CallWaiting|Voicemail|Intercom|Paging|SpeedDial|Directory|||CallPark|"
    L"CallWaiting";
const wchar_t kSoftkeys[] = L"Redial|NewCall|Hold|Hold|";
const wchar_t kStartHere[] = L"Welcome|PhoneTour|Voicemail|AnsweringCalls";
// References decoded; an "&" that begins no reference reads as itself.
const wchar_t kLink[] = L"Q&A 'Guide' & more <v2> \u263A A & B";
const wchar_t kUtf8Names[] = L"Caf\u00e9 Anruf|Fish & Chips|\u547c\u53eb\u8f6c\u79fb|"
                             L"\u7559\u5b88\u756a\u96fb\u8a71 \u263A|Hold|Hold|";
const wchar_t k1251Names[] =
    L"\u041f\u0435\u0440\u0435\u0430\u0434\u0440\u0435\u0441\u0430\u0446\u0438\u044f|"
    L"\u041e\u0436\u0438\u0434\u0430\u043d\u0438\u0435 \u263A";
const wchar_t kUtf16Names[] = L"Caf\u00e9 Anruf|\u547c\u53eb\u8f6c\u79fb";
const wchar_t kHelp1251[] = L"\u0421\u043f\u0440\u0430\u0432\u043a\u0430";
const wchar_t kHelp1251Typed[] = L"\u0421\u043f\u0440\u0430\u0432\u043a\u0430 \u263A A\u00f1o";
const wchar_t kGuide[] = L"Gu\u00eda & manual \u263A";
const wchar_t kNoItems[] = L" holds no items";
const wchar_t kMissing[] = L" was not found";
const wchar_t kBadUtf16[] = L" is not valid text in its encoding (byte 60)";
const wchar_t kNoFile[] = L"xml.ini sets no file for this tab";
const wchar_t kNotWellFormed[] = L" is not well-formed XML (line 4, column 21: an attribute lacks its equals sign, a "
                                 L"quotation mark or the space before it). It is shown read-only; Save leaves it as it is.";

// The formatter of the toolchain breaks tables whose rows differ in length and span lines.
// clang-format off
const SRow kRows[] = {
    // Text nodes and nested items are no entries; only exactly "1" is on; a flag is appended only when on.
    {"FeaturesTicked", EPage::Features, "features_in.xml", L"b3 s6 b9 b7 t2", nullptr, kFeatures,
     "10000001011", L"", "features_expected.xml"},
    {"SoftkeysAllOn", EPage::Softkeys, "softkeys_in.xml", L"E", nullptr, kSoftkeys, "10000", L"",
     "softkeys_all_on.xml"},
    {"SoftkeysAllOff", EPage::Softkeys, "softkeys_in.xml", L"E D", nullptr, kSoftkeys, "10000", L"",
     "softkeys_all_off.xml"},
    {"StartHereAsItWas", EPage::StartHere, "starthere_in.xml", L"", nullptr, kStartHere, "1001", L"",
     nullptr},
    {"StartHereTicked", EPage::StartHere, "starthere_in.xml", L"s1 b3", nullptr, kStartHere, "1001", L"",
     "starthere_expected.xml"},
    {"FlagsReadExactly", EPage::StartHere, "flags_in.xml", L"b0 b5", nullptr,
     L"Yes|Trailing|Ten|Zero one|Single|Spread", "000011", L"", "flags_ticked.xml"},
    {"CommentOnly", EPage::Features, "comment_only.xml", L"E", nullptr, L"", "", kNoItems, nullptr, false},
    {"EmptyFile", EPage::Features, "empty.xml", L"E", nullptr, L"", "", kNoItems, nullptr, false},
    {"TextOnly", EPage::StartHere, "text_only.xml", L"E", nullptr, L"", "", kNoItems, nullptr},
    {"MissingFile", EPage::Features, "missing.xml", L"E", nullptr, L"", "", kMissing, nullptr, false},
    {"EmptyPath", EPage::Softkeys, "", L"E", nullptr, L"", "", kNoFile, nullptr, false},
    {"NullPath", EPage::StartHere, nullptr, L"E", nullptr, L"", "", kNoFile, nullptr, false},
    {"BrokenUtf16", EPage::Features, "broken_utf16.xml", L"E", nullptr, L"", "", kBadUtf16, nullptr, false},
    // Two items of one name keep a tick each, and the nameless item is saved too.
    {"Utf8Duplicates", EPage::Features, "features_utf8.xml", L"b2 b4 b5 b6", nullptr, kUtf8Names,
     "1000100", L"", "features_utf8_expected.xml"},
    {"Windows1251", EPage::Softkeys, "features_1251.xml", L"b0", nullptr, k1251Names, "01", L"",
     "features_1251_expected.xml"},
    {"Utf16", EPage::StartHere, "features_utf16.xml", L"b0 b1", nullptr, kUtf16Names, "01", L"",
     "features_utf16_expected.xml"},
    // "LinkItem" is another element; the untouched field keeps "&#x26;" and "&#38;" as written.
    {"LinkUntouched", EPage::Interface, "interface_in.xml", L"E D", nullptr, kLink, "0", L"", nullptr},
    {"LinkTypedAsShown", EPage::Interface, "interface_in.xml", L"", kLink, kLink, "0", L"", nullptr},
    {"LinkTypedMarkup", EPage::Interface, "interface_in.xml", L"c", L"Say \"hi\" & <wave> 'now'", kLink, "0",
     L"", "interface_typed.xml"},
    {"LinksTakeTheLast", EPage::Interface, "links_in.xml", L"", nullptr, L"Quick Guide", "1", L"", nullptr},
    // A change goes into every link item, and only the value changed; a flag that is missing reads as off
    // and stays missing when the box is cleared.
    {"LinksTypedIntoEvery", EPage::Interface, "links_in.xml", L"", L"New & more", L"Quick Guide", "1", L"",
     "links_typed.xml"},
    {"LinksClearedIntoEvery", EPage::Interface, "links_in.xml", L"c", nullptr, L"Quick Guide", "1", L"",
     "links_ticked.xml"},
    {"LinkBare", EPage::Interface, "link_bare_in.xml", L"", nullptr, L"", "0", L"", nullptr},
    {"LinkBareTicked", EPage::Interface, "link_bare_in.xml", L"c", nullptr, L"", "0", L"",
     "link_bare_ticked.xml"},
    {"LinkBareTyped", EPage::Interface, "link_bare_in.xml", L"c", L"  Guide  ", L"", "0", L"",
     "link_bare_typed.xml"},
    {"LinkUtf8Ticked", EPage::Interface, "interface_utf8.xml", L"c", nullptr, kGuide, "0", L"",
     "interface_utf8_ticked.xml"},
    {"LinkUtf8Typed", EPage::Interface, "interface_utf8.xml", L"", L"A\u00f1o \"Gu\u00eda\" <1> & \u263A 2",
     kGuide, "0", L"", "interface_utf8_typed.xml"},
    // What the code page lacks is stored as a reference, never as "?".
    {"Link1251Typed", EPage::Interface, "interface_1251.xml", L"", kHelp1251Typed, kHelp1251, "1", L"",
     "interface_1251_typed.xml"},
    // With no link item to hold them, what reaches the controls is stored nowhere.
    {"NoLinkItem", EPage::Interface, "softkeys_in.xml", L"c", L"Nowhere", L"", "0",
     L" holds no PDF link to edit", nullptr},
    {"LinkUnread", EPage::Interface, "broken_utf16.xml", L"c", L"typed", L"", "0", kBadUtf16, nullptr, false},
    {"LinkNoPath", EPage::Interface, "", L"c", L"typed", L"", "0", kNoFile, nullptr, false},
    // Read-only files take no change from any way in; messages reach disabled controls all the same.
    {"ReadOnlyList", EPage::Features, "readonly_list.xml", L"b1 s1 d0 o1 E", nullptr, L"A|B|C enabled=", "100", L"",
     nullptr, false, kNotWellFormed},
    {"ReadOnlyLink", EPage::Interface, "readonly_link.xml", L"c", L"Typed", L"Guide", "1", L"", nullptr, false,
     L" is not well-formed XML (line 3, column 6: an attribute lacks its equals sign, a quotation mark or the space "
     L"before it). It is shown read-only; Save leaves it as it is."},
    // Values as every XML reader reads them.
    {"FlagReference", EPage::Features, "flag_reference.xml", L"D", nullptr, L"Paging|Park", "10", L"",
     "flag_reference_off.xml"},
    // An external document type is not read: its entity stays as written.
    {"LinkDeclaredEntity", EPage::Interface, "link_entity.xml", L"c", L"&co; Guide v2", L"&co; Guide", "0", L"",
     "link_entity_ticked.xml", true, L" holds a link name the tool cannot read exactly, such as an entity declared "
     L"outside the file; it is shown as written and cannot be changed here."},
    {"LinkInternalEntity", EPage::Interface, "link_internal_entity.xml", L"", L"Corvale Guide & more",
     L"Corvale Guide", "0", L"", "link_internal_typed.xml"},
    {"DocTypeEntities", EPage::Features, "doctype_entities.xml", L"D", nullptr, L"Corvale Paging|Park", "11", L"",
     "doctype_entities_off.xml"},
    {"DocTypeEntityItems", EPage::Features, "doctype_entity_items.xml", L"E", nullptr, L"A", "0", L"", nullptr, false,
     L" uses the entity &more; among its items, and its document type makes it markup that the tool cannot edit. "
     L"It is shown read-only; Save leaves it as it is."},
    {"DocTypeAttlist", EPage::Softkeys, "doctype_attlist.xml", L"E", nullptr, L"Hold", "0", L"", nullptr, false,
     L" has a document type that gives enabled of <key> a default or a type, which other XML readers apply and the "
     L"tool cannot. It is shown read-only; Save leaves it as it is."},
    // Template blocks are neither items nor errors, and stay as they are.
    {"TemplateBlocks", EPage::Features, "template.xml", L"E", nullptr, L"A|B", "01", L"", "template_all_on.xml"},
    {"TemplateUnclosed", EPage::Features, "template_unclosed.xml", L"E", nullptr, L"A", "0", L"", nullptr, false,
     L" is not well-formed XML (line 3, column 1: a template block '<%' has no '%>' to end it). It is shown "
     L"read-only; Save leaves it as it is."},
    {"ControlCharacter", EPage::Features, "control_char.xml", L"E", nullptr, L"A|B", "10", L"", nullptr, false,
     L" is not well-formed XML (line 2, column 26: a control character other than tab or a line break stands in "
     L"the text). It is shown read-only; Save leaves it as it is."},
    {"DeclaredUtf7", EPage::Features, "utf7.xml", L"E", nullptr, L"A", "1", L"", nullptr, false,
     L" cannot be edited (line 1, column 31: its declared encoding does not keep letters and digits as ASCII "
     L"bytes, so nothing typed could be saved in it). It is shown read-only; Save leaves it as it is."},
};
// clang-format on

std::unique_ptr<CContentPage> MakePage(EPage page)
{
    if (page == EPage::Features)
        return std::make_unique<CFeaturesDlg>();
    if (page == EPage::Softkeys)
        return std::make_unique<CSoftkeysDlg>();
    if (page == EPage::StartHere)
        return std::make_unique<CStartHereDlg>();
    return std::make_unique<CInterfaceDlg>();
}

// A page of the row's kind over path, inside a host window.
struct CLoadedPage
{
    CLoadedPage(EPage kind, const std::string* path)
        : set({kind == EPage::Interface ? CContentFile::Kind::Link : CContentFile::Kind::List}), page(MakePage(kind))
    {
        page->UseFile(set.File(0));
        page->Create(&host);
        set.Open({{u"tab", path ? Utf8Path(W(*path)) : std::string(), AsUtf16(path ? W(*path) : L"")}});
        page->Refresh();
        list = dynamic_cast<CCheckListPage*>(page.get());
        link = dynamic_cast<CInterfaceDlg*>(page.get());
    }
    std::wstring Shown() const
    {
        return list ? ListTexts(list->m_checkList.m_hWnd) : WindowText(link->m_linkName.m_hWnd);
    }
    std::string Checks() const
    {
        if (link)
            return std::to_string(link->m_linkEnabled.GetCheck());
        std::string checks;
        for (int i = 0; i < list->m_checkList.GetCount(); ++i)
            checks += std::to_string(list->m_checkList.GetItemCheck(i));
        return checks;
    }
    // The program's save of the page's file; the page shows what a save read again.
    SaveOutcome Save()
    {
        const SaveOutcome outcome = set.Save(nullptr).front().outcome;
        if (outcome == SaveOutcome::KeptOther)
            page->Refresh();
        return outcome;
    }

    CContentSet set;
    CHostDlg host;
    std::unique_ptr<CContentPage> page;
    CCheckListPage* list = nullptr;
    CInterfaceDlg* link = nullptr;
};

using PageTable = testing::TestWithParam<SRow>;
} // namespace

TEST_P(PageTable, ShowsTheFileAndSavesWhatThePersonDid)
{
    const SRow& row = GetParam();
    const CScratch scratch(row.name);
    const std::string path = row.input && *row.input ? scratch.Copy(row.input) : row.input ? "" : "(none)";
    const std::string before = ReadBytes(path);
    const bool existed = FileExists(path);
    CLoadedPage loaded(row.page, row.input ? &path : nullptr);
    EXPECT_EQ(row.shown, loaded.Shown());
    EXPECT_EQ(row.checks, loaded.Checks());
    EXPECT_EQ(*row.pageNote ? W(path) + row.pageNote : L"", WindowText(loaded.page->m_pageNote.m_hWnd));

    const std::wstring note = *row.note ? (row.input ? W(path) : L"") + row.note : L"";
    HWND hList = loaded.list ? loaded.list->m_checkList.m_hWnd : nullptr;
    if (loaded.list)
    {
        EXPECT_EQ(note, loaded.list->m_checkList.GetEmptyText());
        EXPECT_EQ(*row.checks ? 0 : LB_ERR, loaded.list->m_checkList.GetCurSel());
        if (*row.checks)
        {
            EXPECT_LT(0, RepaintedItems(hList)) << "drawing is back on after the fill";
        }
    }
    else
    {
        const CInterfaceDlg& page = *loaded.link;
        EXPECT_EQ(note, WindowText(page.m_note.m_hWnd));
        EXPECT_EQ(!note.empty(), IsWindowVisible(page.m_note.m_hWnd) != 0);
        EXPECT_EQ(note.empty() && row.writable && !*row.pageNote, IsWindowEnabled(page.m_linkName.m_hWnd) != 0);
        EXPECT_EQ(note.empty() && row.writable, IsWindowEnabled(page.m_linkEnabled.m_hWnd) != 0);
        if (row.typed)
            TypeText(page.m_linkName.m_hWnd, row.typed);
    }
    std::wistringstream actions(row.actions);
    for (std::wstring action; actions >> action;)
    {
        const int i = action.size() > 1 ? std::stoi(action.substr(1)) : 0;
        if (action[0] == L'b' || action[0] == L't')
            PressItem(hList, i, action[0] == L'b' ? 5 : 100);
        else if (action[0] == L's')
            SpaceOn(hList, i);
        else if (action[0] == L'd')
            PerformInput(hList, Input::DoubleClick, 5, ItemMiddleY(hList, i));
        else if (action[0] == L'o')
        {
            loaded.list->m_checkList.SetItemCheck(i, 1 - loaded.list->m_checkList.GetItemCheck(i));
            SendMessageW(loaded.page->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_FEATURES_LIST, CLBN_CHECKCHANGED),
                         reinterpret_cast<LPARAM>(hList));
        }
        else if (action[0] == L'c')
            SendMessageW(loaded.link->m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
        else
            loaded.page->SetAllChecks(action[0] == L'E' ? 1 : 0);
    }
    EXPECT_EQ(before, ReadBytes(path)) << "nothing is written before Save";
    const bool nameEditable = row.writable && !*row.pageNote && !*row.note;
    if (loaded.link && row.typed)
    {
        EXPECT_EQ(nameEditable ? row.typed : row.shown, WindowText(loaded.link->m_linkName.m_hWnd));
    }
    if (!row.writable)
    {
        EXPECT_EQ(row.checks, loaded.Checks()) << "a read-only file takes no change";
        EXPECT_FALSE(loaded.page->File().HasChanges());
    }

    const std::string expected = row.expected ? ReadBytes(DataFile(row.expected)) : before;
    // A second save finds nothing changed since the first.
    for (int save = 0; save < 2; ++save)
    {
        const SaveOutcome saved = !row.writable              ? SaveOutcome::ReadOnly
                                  : row.expected && save == 0 ? SaveOutcome::Saved
                                                              : SaveOutcome::Unchanged;
        EXPECT_EQ(saved, loaded.Save()) << "save " << save + 1;
        EXPECT_TRUE(expected == ReadBytes(path)) << "save " << save + 1 << " wrote:\n" << ReadBytes(path);
    }
    EXPECT_EQ(existed, FileExists(path)) << "a file that was not read is not written";

    // Read back by a new page, the file shows what was typed.
    if (FileExists(path))
    {
        CLoadedPage reread(row.page, &path);
        EXPECT_EQ(row.typed && nameEditable ? row.typed : row.shown, reread.Shown());
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, PageTable, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<SRow>& tested) {
                             return std::string(tested.param.name);
                         });

TEST(Pages, FileHeldOpenIsNotReadAndNotWritten)
{
    const CScratch scratch("held");
    const std::string held = scratch.Copy("features_in.xml");
    HANDLE hFile =
        CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    {
        CLoadedPage loaded(EPage::Features, &held);
        CloseHandle(hFile);
        EXPECT_EQ(W(held) + L" is in use by another program and could not be read", loaded.list->m_checkList.GetEmptyText());
        EXPECT_EQ(SaveOutcome::ReadOnly, loaded.Save());
    }
    EXPECT_EQ(ReadBytes(DataFile("features_in.xml")), ReadBytes(held));
}

// A cleared field is an empty name in every link item that has one (an item without a name reads as
// empty already and gets none); the flag is left as it was.
TEST(Pages, AClearedLinkFieldWritesAnEmptyValue)
{
    const CScratch scratch("cleared");
    const std::string path = scratch / "interface.xml";
    WriteBytes(path, "<interface>\r\n<linkItem enabled=\"1\"/>\r\n<linkItem value=\"Guide\" enabled=\"yes\"/>\r\n<linkItem value='Old'/>\r\n</interface>\r\n");
    CLoadedPage loaded(EPage::Interface, &path);
    TypeText(loaded.link->m_linkName.m_hWnd, L"\b");
    EXPECT_EQ(WindowText(loaded.link->m_linkName.m_hWnd), L"");
    EXPECT_EQ(loaded.Save(), SaveOutcome::Saved);
    EXPECT_EQ(ReadBytes(path), "<interface>\r\n<linkItem enabled=\"1\"/>\r\n<linkItem value=\"\" enabled=\"yes\"/>\r\n<linkItem value=''/>\r\n</interface>\r\n");
}

LRESULT CALLBACK CountCheckChanges(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR count)
{
    if (msg == WM_COMMAND && HIWORD(wParam) == CLBN_CHECKCHANGED)
        ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(hWnd, msg, wParam, lParam);
}

// A read-only list takes no change from a press, Space, a double click or a screen reader, not even
// for a moment: its page hears of no change, and every line says it is read-only and has no action.
TEST(Pages, AReadOnlyListTakesNoChangeNotEvenForAMoment)
{
    const CScratch scratch("readonly-moment");
    const std::string path = scratch.Copy("readonly_list.xml");
    CLoadedPage loaded(EPage::Features, &path);
    HWND hList = loaded.list->m_checkList.m_hWnd;
    int changes = 0;
    SetWindowSubclass(loaded.page->m_hWnd, CountCheckChanges, 1, reinterpret_cast<DWORD_PTR>(&changes));
    IAccessible* accessible = nullptr;
    AccessibleObjectFromWindow(hList, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(&accessible));
    ASSERT_NE(accessible, nullptr);
    for (int i = 0; i < 3; ++i)
    {
        PressItem(hList, i, 5);
        SpaceOn(hList, i);
        PerformInput(hList, Input::DoubleClick, 5, ItemMiddleY(hList, i));
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = i + 1;
        EXPECT_EQ(accessible->accDoDefaultAction(child), DISP_E_MEMBERNOTFOUND) << i;
        BSTR action = nullptr;
        EXPECT_EQ(accessible->get_accDefaultAction(child, &action), S_FALSE) << i;
        EXPECT_EQ(action, nullptr) << i;
        VARIANT state;
        VariantInit(&state);
        EXPECT_EQ(accessible->get_accState(child, &state), S_OK);
        EXPECT_TRUE(state.vt == VT_I4 && (state.lVal & STATE_SYSTEM_READONLY)) << i;
    }
    accessible->Release();
    RemoveWindowSubclass(loaded.page->m_hWnd, CountCheckChanges, 1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(loaded.Checks(), "100");
    EXPECT_FALSE(loaded.page->File().HasChanges());
}

// Every kind of syntax error has its own text.
TEST(Pages, EverySyntaxErrorHasItsText)
{
    std::set<std::wstring> texts;
    for (int kind = 1; kind <= static_cast<int>(XmlSyntaxError::UnwritableEncoding); ++kind)
    {
        const std::wstring text = SyntaxErrorText(static_cast<XmlSyntaxError>(kind));
        EXPECT_FALSE(text.empty()) << kind;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), static_cast<size_t>(XmlSyntaxError::UnwritableEncoding));
    EXPECT_EQ(SyntaxErrorText(XmlSyntaxError::None), L"");
}
