#include "PageTable.h"

#include "CheckListPage.h"
#include "InterfaceDlg.h"

namespace
{
template <class TPage>
std::unique_ptr<CContentPage> Create(CWnd* parent)
{
    return std::make_unique<TPage>(parent);
}
} // namespace

const std::array<CPageKind, kPageCount> kPageKinds = {{
    {L"Features",  L"Features",  L"Content\\XML\\features.xml",  true,  &Create<CFeaturesDlg> },
    {L"Softkeys",  L"Softkeys",  L"Content\\XML\\softkeys.xml",  true,  &Create<CSoftkeysDlg> },
    {L"StartHere", L"StartHere", L"Content\\XML\\starthere.xml", true,  &Create<CStartHereDlg>},
    {L"Interface", L"Interface", L"Content\\XML\\interface.xml", false, &Create<CInterfaceDlg>},
}};
