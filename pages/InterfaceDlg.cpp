#include <windows.h>
#include <cstdint>

#include "InterfaceDlg.h"
#include "resource.h"

namespace
{
constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;
// Longest reference decoded: "&#x" or "&#", digits of at most 0x10FFFF with leading zeros, ";".
constexpr std::size_t kMaxReferenceLength = 32;

bool IsLinkItem(const CXmlNode& node)
{
    return node.m_type == CXmlNode::NODE_ELEMENT && node.m_name == "linkItem";
}

// Characters a document may hold; a reference to anything else (NUL, surrogates) is malformed.
bool IsDocumentChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= kMaxCodePoint);
}

// The digits of "&#...;" or "&#x...;" between "#" (or "x") and ";". False when malformed.
bool ParseCharNumber(std::string_view digits, bool hex, std::uint32_t& code)
{
    if (digits.empty())
        return false;
    code = 0;
    for (const char c : digits)
    {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        code = code * (hex ? 16 : 10) + digit;
        if (code > kMaxCodePoint)
            return false;
    }
    return IsDocumentChar(code);
}

// The character in codePage; false when the code page has no exact equivalent for it.
bool ToCodePage(std::uint32_t code, UINT codePage, std::string& out)
{
    if (code < 0x80)
    {
        out += static_cast<char>(code);
        return true;
    }
    wchar_t wide[2];
    int wideLength = 1;
    if (code >= 0x10000)
    {
        code -= 0x10000;
        wide[0] = static_cast<wchar_t>(0xD800 + (code >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        wideLength = 2;
    }
    else
    {
        wide[0] = static_cast<wchar_t>(code);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    // UTF-8 maps everything and refuses both the flag and the question.
    const bool utf8 = codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
    const int length = WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes,
                                           sizeof(bytes), nullptr, utf8 ? nullptr : &usedDefault);
    if (length <= 0 || usedDefault)
        return false;
    out.append(bytes, static_cast<std::size_t>(length));
    return true;
}

// The reference that starts at text[0] ("&"): its meaning appended to out and its length, or 0.
std::size_t DecodeReference(std::string_view text, UINT codePage, std::string& out)
{
    const std::size_t end = text.substr(0, kMaxReferenceLength).find(';');
    if (end == std::string_view::npos)
        return 0;
    const std::string_view body = text.substr(1, end - 1);
    static const struct
    {
        std::string_view name;
        char c;
    } kEntities[] = {
        {"amp",  '&' },
        {"lt",   '<' },
        {"gt",   '>' },
        {"quot", '"' },
        {"apos", '\''},
    };
    for (const auto& entity : kEntities)
    {
        if (body == entity.name)
        {
            out += entity.c;
            return end + 1;
        }
    }
    if (body.size() < 2 || body[0] != '#')
        return 0;
    // Only a lower-case "x" opens a hexadecimal reference.
    const bool hex = body[1] == 'x';
    std::uint32_t code = 0;
    if (!ParseCharNumber(body.substr(hex ? 2 : 1), hex, code) || !ToCodePage(code, codePage, out))
        return 0;
    return end + 1;
}
} // namespace

std::string DecodeXmlText(std::string_view value, UINT codePage)
{
    std::string text;
    text.reserve(value.size());
    std::size_t i = 0;
    while (i < value.size())
    {
        if (value[i] == '&')
        {
            if (const std::size_t length = DecodeReference(value.substr(i), codePage, text))
            {
                i += length;
                continue;
            }
        }
        text += value[i++];
    }
    return text;
}

std::string EncodeXmlText(std::string_view text)
{
    std::string value;
    value.reserve(text.size());
    for (const char c : text)
    {
        switch (c)
        {
        case '&':
            value += "&amp;";
            break;
        case '<':
            value += "&lt;";
            break;
        case '"':
            value += "&quot;";
            break;
        default:
            value += c;
            break;
        }
    }
    return value;
}

CInterfaceDlg::CInterfaceDlg(CWnd* parent)
    : CDialog(IDD_INTERFACE, parent), m_document(std::make_unique<CXmlDocument>())
{
}

CInterfaceDlg::~CInterfaceDlg()
{
    // The window goes while the bound controls still live.
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_document->m_root.Clear();
}

void CInterfaceDlg::DoDataExchange()
{
    Bind(m_linkName, IDC_LINK_NAME);
    Bind(m_linkEnabled, IDC_LINK_ENABLED);
}

void CInterfaceDlg::LoadContent(const char* path)
{
    m_path = path ? path : "";
    m_loaded = m_document->Load(m_path.c_str());

    const CXmlNode* container = m_document->m_documentElement;
    if (!container)
        return;
    // Every link item is shown in turn, so the last one stays.
    const CXmlNode* shown = nullptr;
    for (const auto& child : container->m_children)
    {
        if (IsLinkItem(*child))
            shown = child.get();
    }
    if (!shown)
        return;
    const CXmlAttribute value(shown->FindAttribute("value"));
    const CXmlAttribute enabled(shown->FindAttribute("enabled"));
    m_linkName.SetText(DecodeXmlText(value.m_value).c_str());
    m_linkEnabled.SetCheck(enabled.m_value == "1" ? BST_CHECKED : BST_UNCHECKED);
    // Read back: the field may not hold every character of the value as given (a line break).
    m_shownName = m_linkName.GetText();
    m_shownSource = value.m_value;
}

int CInterfaceDlg::SaveContent()
{
    if (!m_loaded)
        return 0;

    if (CXmlNode* container = m_document->m_documentElement)
    {
        const std::string name = m_linkName.GetText();
        // An untouched field keeps the references as the file wrote them.
        const std::string value = name == m_shownName ? m_shownSource : EncodeXmlText(name);
        const bool checked = m_linkEnabled.GetCheck() == BST_CHECKED;
        for (const auto& child : container->m_children)
        {
            if (!IsLinkItem(*child))
                continue;
            if (CXmlAttribute* attribute = child->FindAttribute("value"))
                attribute->m_value = value;
            else if (!value.empty())
                child->AddAttribute("value", value.c_str());
            if (CXmlAttribute* attribute = child->FindAttribute("enabled"))
                attribute->m_value = checked ? "1" : "0";
            else if (checked)
                child->AddAttribute("enabled", "1");
        }
    }
    return m_document->Save(m_path.c_str()) ? 1 : 0;
}

void CInterfaceDlg::SetAllChecks(int)
{
}
