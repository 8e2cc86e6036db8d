// A content file as the tool knows it, with no window: where it is, whether it was read and may be
// written and why not, what its tab showed when it was read, and what the person changed since. A
// tab shows one and hands the person's actions to it; Save (ContentSet.h) writes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Xml.h"

// Why a content file may not be written. Anything but None makes the file read-only: its tab shows
// it and takes no change.
enum class ContentLock : std::uint8_t
{
    None,
    NoPath,            // xml.ini sets no file for the tab
    NotRead,           // the file could not be read; ReadStatus says why
    NoElement,         // the file holds no element: there is nothing to edit
    NotWellFormed,     // Syntax says where
    EditedOnOtherTab,  // another tab edits the same file
    // The document type makes readers see the items otherwise than the tool can edit them: an entity
    // among the items stands for markup (LockName names it), or an attribute the tool reads has a
    // declared default or type (LockName, of the element LockElement), or the type holds what the
    // tool cannot read.
    EntityMarkup,
    DeclaredAttribute,
    UnreadDocumentType,
};

class CContentFile
{
public:
    enum class Kind : std::uint8_t
    {
        List, // one line per item of the document element, its box the item's enabled flag
        Link, // the name and the flag of the document element's linkItem elements
    };

    // A line of a list file: an item of the document element.
    struct CLine
    {
        std::u16string name; // as the file means it
        bool readOn;         // the flag as the file had it when read or last saved
        bool on;             // the flag as the person set it
    };

    explicit CContentFile(Kind kind);
    CContentFile(const CContentFile&) = delete;
    CContentFile& operator=(const CContentFile&) = delete;
    ~CContentFile();

    // Reads the file at the UTF-8 path; shown is the path as the person gave it, for messages.
    // An empty path reads nothing.
    void Open(std::string path, std::u16string shown);
    // Reads the file again, dropping the person's changes.
    void Reload();
    // The tab named tab edits the same file: this one only shows it.
    void SetEditedOn(std::u16string tab);

    const std::string& Path() const
    {
        return m_path;
    }
    const std::u16string& ShownPath() const
    {
        return m_shownPath;
    }
    const std::u16string& EditorTab() const
    {
        return m_editorTab;
    }
    bool WasRead() const
    {
        return m_read;
    }
    // Why the last read failed.
    const CXmlFileStatus& ReadStatus() const
    {
        return m_readStatus;
    }
    const CXmlSyntax& Syntax() const
    {
        return m_document->Syntax();
    }
    ContentLock Lock() const;
    const std::u16string& LockName() const
    {
        return m_lockName;
    }
    const std::u16string& LockElement() const
    {
        return m_lockElement;
    }
    bool CanWrite() const
    {
        return Lock() == ContentLock::None;
    }

    const std::vector<CLine>& Lines() const
    {
        return m_lines;
    }
    // The person's changes; false, changing nothing, while the file may not be written or for a line
    // or link that is not there.
    bool SetLine(std::size_t index, bool on);
    bool SetAllLines(bool on);
    bool HasLink() const
    {
        return m_kind == Kind::Link && !m_items.empty();
    }
    const std::u16string& LinkName() const
    {
        return m_linkName;
    }
    bool LinkEnabled() const
    {
        return m_linkOn;
    }
    // Whether the link name may be changed: the file may be written and the tool reads the name as
    // every reader does (not so a reference to an entity that the file declares).
    bool CanWriteLinkName() const
    {
        return CanWrite() && HasLink() && m_linkExact;
    }
    bool LinkNameExact() const
    {
        return m_linkExact;
    }
    bool SetLinkName(std::u16string name);
    bool SetLinkEnabled(bool on);
    // The link name as the tab shows it: a field may not hold every character of a value (a line
    // break). What it shows right after reading counts as the name the file has.
    void SetShownLinkName(std::u16string name);

    // Whether the person changed anything since the file was read or last saved.
    bool HasChanges() const;

    // The steps of a save (ContentSet.h). CheckDisk: None while the file holds what was read or last
    // written. Prepare: the person's changes into the document, and its new file written beside the
    // file; replacing is what the person agreed to replace, or null. Saved: the file now holds what
    // the tab shows.
    XmlFileError CheckDisk() const;
    XmlFileError Prepare(CXmlPendingSave& save, const CXmlDiskState* replacing, const CXmlSaveNames* names);
    void Saved();

private:
    struct CReadValue
    {
        bool present = false;
        std::string value;
    };
    struct CItem
    {
        CXmlNode* node; // belongs to the document
        CReadValue enabled;
        CReadValue value; // a link's name
    };
    static CReadValue ReadValue(const CXmlNode& node, const char* name);
    static void RestoreValue(CXmlNode& node, const char* name, const CReadValue& read);
    static void StoreEnabled(CXmlNode& node, bool on);
    // The lines or the link from the document, as read.
    void Fill();
    // Whether the document type keeps the item from being edited: sets the lock and its names.
    void LockByDocumentType(const CXmlNode& item, const char* name, unsigned codePage);
    // What the person changed into the document; everything else back to what was read.
    void Store();

    Kind m_kind;
    std::unique_ptr<CXmlDocument> m_document;
    std::string m_path;
    std::u16string m_shownPath;
    std::u16string m_editorTab;
    bool m_read = false;
    CXmlFileStatus m_readStatus;

    std::vector<CLine> m_lines;
    std::vector<CItem> m_items; // one per line, or one per link item
    std::u16string m_readLinkName;
    std::u16string m_linkName;
    bool m_readLinkOn = false;
    bool m_linkOn = false;
    bool m_linkExact = true;
    ContentLock m_typeLock = ContentLock::None;
    std::u16string m_lockName;
    std::u16string m_lockElement;
};
