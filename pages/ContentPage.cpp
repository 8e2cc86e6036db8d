#include <windows.h>

#include "ContentPage.h"
#include "ContentText.h"
#include "resource.h"

CContentPage::CContentPage(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_document(std::make_unique<CXmlDocument>())
{
}

CContentPage::~CContentPage()
{
    // The window goes before the document. The derived page's controls are gone already and have
    // unbound themselves, so the requests the window's end sends (the list's deletions) reach no dead
    // object.
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_document->m_root.Clear();
}

void CContentPage::LoadContent(const wchar_t* path)
{
    m_path = path ? path : L"";
    m_loaded = m_document->Load(Utf8Path(m_path).c_str());
    ShowContent();
}

int CContentPage::SaveContent()
{
    if (!m_loaded)
        return 0;
    StoreContent();
    return m_document->Save(Utf8Path(m_path).c_str()) ? 1 : 0;
}

void CContentPage::StoreEnabled(CXmlNode& item, bool on)
{
    if (CXmlAttribute* enabled = item.FindAttribute("enabled"))
        enabled->m_value = on ? "1" : "0";
    else if (on)
        item.AddAttribute("enabled", "1");
}

std::wstring CContentPage::DescribeEmpty(UINT noContentId) const
{
    if (m_path.empty())
        return LoadText(IDS_NO_FILE);
    return m_path + LoadText(m_loaded ? noContentId : IDS_NOT_READ);
}
