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
    // Destroying the window sends the list's deletion requests to this page; they must find the controls
    // of the derived page alive, so the window goes before the members do.
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

std::wstring CContentPage::DescribeEmpty(UINT noContentId) const
{
    if (m_path.empty())
        return LoadText(IDS_NO_FILE);
    return m_path + LoadText(m_loaded ? noContentId : IDS_NOT_READ);
}
