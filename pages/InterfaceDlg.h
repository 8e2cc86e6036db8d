// The interface page: the name of the PDF link and whether it is enabled.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <string_view>

#include "Controls.h"
#include "Dialog.h"
#include "Xml.h"

class CInterfaceDlg : public CDialog
{
public:
    explicit CInterfaceDlg(CWnd* parent = nullptr);
    ~CInterfaceDlg() override;

    // Reads the file and shows the last link item; called once, after the page's window exists.
    void LoadContent(const char* path);
    // Writes the field and the box into every link item and saves the file: 1 when written. A file
    // that was never read is not written (0).
    int SaveContent();
    // Enable All and Disable All do not concern this page.
    void SetAllChecks(int check);
    // Whether LoadContent read the file; false before it and after a failed read.
    bool IsLoaded() const
    {
        return m_loaded;
    }

    std::unique_ptr<CXmlDocument> m_document;
    std::string m_path;
    CEdit m_linkName;
    CButton m_linkEnabled;

protected:
    void DoDataExchange() override;

private:
    bool m_loaded = false;
    std::string m_shownName;   // the field's text right after loading
    std::string m_shownSource; // the value that text was decoded from, as the file has it
};

// An attribute value as a reader of the file means it: the predefined entities and the character
// references to characters of codePage are replaced; any other reference stays as written.
std::string DecodeXmlText(std::string_view value, UINT codePage = CP_ACP);
// Text as an attribute value that every reader reads back as that text.
std::string EncodeXmlText(std::string_view text);
