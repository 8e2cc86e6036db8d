// The content files' own small XML engine: a character scanner that reports events, a document
// that builds a tree from the events (for a Load, a ParseFile and a Parse alike), and a writer that
// turns the tree back into bytes. Everything the
// engine does not model is carried through as character data, and a document read from a file
// writes the file's own bytes around the values that were changed: read and written back unchanged,
// a file keeps every byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

// A byte string of the tree. It reads like a const std::string_view (data, size, comparisons) and
// is assigned from C strings and std::strings. A loaded document's strings refer to the document's
// one copy of the file instead of holding bytes of their own, so data() is not NUL-terminated;
// c_str() is. Every copy of a string owns its bytes, so a copy may outlive the document.
class CXmlString
{
public:
    CXmlString() noexcept
    {
        SetData("");
    }
    CXmlString(const char* text); // null reads as empty
    CXmlString(const char* text, std::size_t size);
    CXmlString(const std::string& text);
    explicit CXmlString(std::string_view text);
    CXmlString(const CXmlString& other);
    CXmlString(CXmlString&& other); // copies a borrowed string, so it may allocate
    ~CXmlString();

    CXmlString& operator=(const CXmlString& other);
    CXmlString& operator=(CXmlString&& other);
    CXmlString& operator=(const char* text);
    CXmlString& operator=(const std::string& text);

    const char* data() const noexcept
    {
        return Data();
    }
    // The bytes followed by a NUL. A string that refers to the file's bytes takes a copy of its own
    // on the first call, since the NUL would fall on the file's next byte, which the writer copies
    // and a save compares with the disk; the tree's other strings stay where they are. Throws
    // bad_alloc when memory runs out.
    const char* c_str() const;
    std::size_t size() const noexcept
    {
        return m_size & ~kOwnedBit;
    }
    std::size_t length() const noexcept
    {
        return size();
    }
    bool empty() const noexcept
    {
        return size() == 0;
    }
    const char* begin() const noexcept
    {
        return Data();
    }
    const char* end() const noexcept
    {
        return Data() + size();
    }
    char operator[](std::size_t i) const noexcept
    {
        return Data()[i];
    }
    void clear() noexcept;

    std::string str() const
    {
        return std::string(Data(), size());
    }
    operator std::string() const
    {
        return str();
    }
    operator std::string_view() const noexcept
    {
        return std::string_view(Data(), size());
    }

private:
    friend class CXmlDocument;
    static constexpr std::uint32_t kOwnedBit = 0x80000000u;
    static constexpr std::size_t kMaxSize = 0x7FFFFFFF; // no size from here on

    // Refers to size bytes at text, which stay valid as long as the string. A load gives each
    // new string of the tree its bytes so: that case is inline.
    void Borrow(const char* text, std::size_t size)
    {
        if (m_size != 0 || size >= kMaxSize)
            return BorrowReleasing(text, size);
        if (size != 0)
        {
            SetData(text);
            m_size = static_cast<std::uint32_t>(size);
        }
    }
    void BorrowReleasing(const char* text, std::size_t size);
    void Assign(const char* text, std::size_t size);
    void Release() noexcept;

    const char* Data() const noexcept
    {
        const char* data;
        std::memcpy(&data, m_data, sizeof data);
        return data;
    }
    void SetData(const char* data) noexcept
    {
        std::memcpy(m_data, &data, sizeof data);
    }

    // The bytes' address, kept in 32-bit words: a tree holds millions of strings, and at 4-byte
    // alignment a 64-bit build packs each in 12 bytes instead of 16. Mutable for c_str().
    mutable std::uint32_t m_data[sizeof(const char*) / sizeof(std::uint32_t)];
    // byte count, with kOwnedBit set when the bytes were allocated by this string
    mutable std::uint32_t m_size = 0;
};

bool operator==(const CXmlString& a, const CXmlString& b) noexcept;
bool operator==(const CXmlString& a, const char* b) noexcept;
bool operator==(const char* a, const CXmlString& b) noexcept;
bool operator==(const CXmlString& a, const std::string& b) noexcept;
bool operator==(const std::string& a, const CXmlString& b) noexcept;
inline bool operator!=(const CXmlString& a, const CXmlString& b) noexcept
{
    return !(a == b);
}
inline bool operator!=(const CXmlString& a, const char* b) noexcept
{
    return !(a == b);
}
inline bool operator!=(const char* a, const CXmlString& b) noexcept
{
    return !(a == b);
}
inline bool operator!=(const CXmlString& a, const std::string& b) noexcept
{
    return !(a == b);
}
inline bool operator!=(const std::string& a, const CXmlString& b) noexcept
{
    return !(a == b);
}
std::string operator+(const CXmlString& a, const std::string& b);
std::string operator+(const std::string& a, const CXmlString& b);
std::string operator+(const CXmlString& a, const char* b);
std::string operator+(const char* a, const CXmlString& b);
std::ostream& operator<<(std::ostream& out, const CXmlString& s);

// Why a file is not well-formed XML, or not one the engine can be sure of, as a reader would find it
// first. The engine reads such a file all the same; its users decide whether they may write it.
enum class XmlSyntaxError : std::uint8_t
{
    None,
    NoDocumentElement, // no element at all
    EndInsideMarkup,   // the file ends inside a tag, comment, section or declaration
    UnclosedElement,   // the file ends while an element is open
    StrayEndTag,       // an end tag with no element open
    BadName,           // a tag or attribute name is missing or starts with a character no name starts with
    AttributeSyntax,   // an attribute lacks its "=", its quotes, or the space before it
    LessThanInValue,   // a "<" inside an attribute value
    BadMarkup,         // "<!" that opens no comment, CDATA section or document type declaration
    UnclosedTemplate,  // a template block "<%" with no "%>" after it
    ControlCharacter,  // a NUL or another control character than tab, LF and CR
    // The declaration names an encoding in which ASCII characters are not their ASCII bytes (UTF-7,
    // EBCDIC): nothing typed could be written so that readers read it.
    UnwritableEncoding,
};

struct CXmlSyntax
{
    XmlSyntaxError error = XmlSyntaxError::None;
    std::size_t offset = 0;  // of the byte where the error was found
    std::uint32_t line = 0;  // 1-based; line breaks are LF, CR LF and CR
    std::uint32_t column = 0; // 1-based, in characters when utf8, else in bytes
};

// Checks size bytes at text for what makes the engine unsure which bytes are an item or a value, and
// for control characters, and reports the first error. Tolerated, because stored files rely on them
// and the engine carries them through exactly: an attribute written as its name alone, a repeated
// attribute name, an "&" that begins no reference, "<% ... %>" template blocks between tags (read
// whole, up to the first "%>", as character data), "--" inside a comment, an end
// tag that names another element (it closes the innermost one), text or elements after the document
// element, an XML declaration after other bytes, and 0x1A as the last byte (DOS's end-of-file mark).
// The check is the parser's own reading of the text, without events.
CXmlSyntax CheckWellFormed(const char* text, std::size_t size, bool utf8) noexcept;

// What the internal subset of a file's document type declaration declares that changes how readers
// read its elements: general entities, and attributes' types and defaults. The strings refer to the
// document's bytes. An external subset (SYSTEM "x.dtd") is not read.
struct CXmlEntityDeclaration
{
    std::string_view name;
    std::string_view literal; // the replacement text as written between its quotes
    bool external = false;    // SYSTEM or PUBLIC: its text is in another file
};

struct CXmlAttributeDeclaration
{
    std::string_view element;
    std::string_view attribute;
    bool cdata = true;      // readers take a CDATA value as written; other types they trim and collapse
    bool defaulted = false; // readers give an element without the attribute its default (#FIXED included)
};

class CXmlDocumentType
{
public:
    // The first declaration of that name: the one readers use. Null for none.
    const CXmlEntityDeclaration* FindEntity(std::string_view name) const noexcept;
    const CXmlAttributeDeclaration* FindAttribute(std::string_view element,
                                                  std::string_view attribute) const noexcept;
    // The name of the first entity referenced in character data (comments, CDATA sections,
    // instructions and template blocks skipped) that readers do not read as plain text: markup, an
    // external entity, or one the engine cannot read. Empty for none. codePage is the tree's.
    std::string_view MarkupEntityIn(std::string_view text, unsigned codePage) const;

    std::vector<CXmlEntityDeclaration> m_entities;
    std::vector<CXmlAttributeDeclaration> m_attributes;
    // The subset holds what the engine does not read, which may declare anything: a parameter-entity
    // reference, or a declaration it does not know.
    bool m_unread = false;
};

// Why a file could not be read or written.
enum class XmlFileError : std::uint8_t
{
    None,
    NotFound,      // no file at the path (deleted or moved, for a file read before)
    FolderMissing, // a folder of the path does not exist
    AccessDenied,
    InUse,         // another program holds the file open
    ReadOnly,      // the file is marked read-only
    DiskFull,
    TooLarge,
    BadEncoding,   // bytes that are not valid in the file's encoding, from offset on
    NotText,       // a NUL at offset: not a text file (UTF-32 and other wide encodings among them)
    Changed,       // the file no longer holds the bytes that were read or last written
    Failed,        // any other failure, running out of memory included
};

struct CXmlFileStatus
{
    XmlFileError error = XmlFileError::None;
    std::size_t offset = 0; // where the bytes went wrong, for BadEncoding and NotText
};

// An offset into the file a node was read from, or none for what was not read from one.
constexpr std::uint32_t kXmlNoSource = 0xFFFFFFFFu;

namespace XmlDetail
{
class CFileReplacement;
class CScanEvents;
// Room for count items of size bytes each; throws bad_alloc, or length_error past the 32-bit
// count. Small arrays come from pools of this thread, like nodes and attributes.
void* AllocateItems(std::size_t count, std::size_t size);
void FreeItems(void* items, std::size_t count, std::size_t size) noexcept;
} // namespace XmlDetail

// The ordered array of owned children or attributes of a node: a pointer and two 32-bit counts,
// and the few operations of a std::vector that the tree's users need. A loaded tree's arrays hold
// exactly their items.
template <class T> class CXmlArray
{
public:
    using value_type = std::unique_ptr<T>;
    using iterator = value_type*;
    using const_iterator = const value_type*;

    CXmlArray() noexcept = default;
    CXmlArray(const CXmlArray&) = delete;
    CXmlArray& operator=(const CXmlArray&) = delete;
    ~CXmlArray()
    {
        clear();
    }

    std::size_t size() const noexcept
    {
        return m_size;
    }
    std::size_t capacity() const noexcept
    {
        return m_capacity;
    }
    bool empty() const noexcept
    {
        return m_size == 0;
    }
    value_type& operator[](std::size_t i) noexcept
    {
        return m_items[i];
    }
    const value_type& operator[](std::size_t i) const noexcept
    {
        return m_items[i];
    }
    value_type& front() noexcept
    {
        return m_items[0];
    }
    const value_type& front() const noexcept
    {
        return m_items[0];
    }
    value_type& back() noexcept
    {
        return m_items[m_size - 1];
    }
    const value_type& back() const noexcept
    {
        return m_items[m_size - 1];
    }
    iterator begin() noexcept
    {
        return m_items;
    }
    iterator end() noexcept
    {
        return m_items + m_size;
    }
    const_iterator begin() const noexcept
    {
        return m_items;
    }
    const_iterator end() const noexcept
    {
        return m_items + m_size;
    }
    std::reverse_iterator<const_iterator> rbegin() const noexcept
    {
        return std::reverse_iterator<const_iterator>(end());
    }
    std::reverse_iterator<const_iterator> rend() const noexcept
    {
        return std::reverse_iterator<const_iterator>(begin());
    }

    void push_back(value_type item)
    {
        if (m_size == m_capacity)
            Reallocate(m_capacity == 0 ? 1 : std::size_t(m_capacity) * 2);
        new (m_items + m_size) value_type(std::move(item));
        ++m_size;
    }
    void pop_back() noexcept
    {
        m_items[--m_size].~value_type();
    }
    iterator erase(const_iterator at) noexcept
    {
        const std::size_t index = static_cast<std::size_t>(at - m_items);
        for (std::size_t i = index; i + 1 < m_size; ++i)
            m_items[i] = std::move(m_items[i + 1]);
        pop_back();
        return m_items + index;
    }
    void reserve(std::size_t count)
    {
        if (count > m_capacity)
            Reallocate(count);
    }
    // Gives up the room beyond the items. Throws, with the array as it was, when memory runs out.
    void shrink_to_fit()
    {
        if (m_capacity != m_size)
            Reallocate(m_size);
    }
    // Destroys the items and releases the room; allocates nothing.
    void clear() noexcept
    {
        while (m_size != 0)
            pop_back();
        XmlDetail::FreeItems(m_items, m_capacity, sizeof(value_type));
        m_items = nullptr;
        m_capacity = 0;
    }

private:
    void Reallocate(std::size_t count)
    {
        value_type* items =
            count == 0 ? nullptr : static_cast<value_type*>(XmlDetail::AllocateItems(count, sizeof(value_type)));
        for (std::uint32_t i = 0; i < m_size; ++i)
        {
            new (items + i) value_type(std::move(m_items[i]));
            m_items[i].~value_type();
        }
        XmlDetail::FreeItems(m_items, m_capacity, sizeof(value_type));
        m_items = items;
        m_capacity = static_cast<std::uint32_t>(count);
    }

    value_type* m_items = nullptr;
    std::uint32_t m_size = 0;
    std::uint32_t m_capacity = 0;
};

// Neither class is a base: a tree holds millions of them, and a table of virtual functions would
// cost each one a pointer.
class CXmlAttribute final
{
public:
    CXmlAttribute() = default;
    // A copy of *other, or an empty attribute when other is null: a missing attribute reads as empty.
    explicit CXmlAttribute(const CXmlAttribute* other);
    CXmlAttribute(CXmlString name, CXmlString value);
    ~CXmlAttribute() = default;

    // A tree holds a great many small attributes and nodes: they come from a pool of this thread.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    CXmlString m_name;
    CXmlString m_value;
    // Read as its name alone, without "=" and a value; written so again while m_value is empty.
    bool m_bare = false;
    // The quote its value was read in, and where the value began as counted from m_source
    // (kNoValueOffset when unknown): the writer copies the file around a changed value.
    char m_quote = 0;
    static constexpr std::uint16_t kNoValueOffset = 0xFFFF;
    std::uint16_t m_valueOffset = kNoValueOffset;
    // Where the attribute's name begins in the file it was read from. Not copied with the attribute.
    std::uint32_t m_source = kXmlNoSource;
};

class CXmlNode final
{
public:
    enum : std::uint8_t
    {
        NODE_ELEMENT = 0,
        NODE_TEXT = 1,
    };

    CXmlNode() = default;
    // Kind, name, text and copies of the attributes; no children, no parent.
    CXmlNode(const CXmlNode& other);
    CXmlNode& operator=(const CXmlNode&) = delete;
    ~CXmlNode();

    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    // The first attribute of that name (byte for byte), or null.
    CXmlAttribute* FindAttribute(const char* name) const;
    // Appends an attribute after the others and returns it.
    CXmlAttribute* AddAttribute(const char* name, const char* value);
    // Destroys every child with its subtree, and every attribute. Works without recursion and
    // allocates nothing, so a tree of any depth can be cleared and destroyed at any time.
    void Clear() noexcept;

    CXmlArray<CXmlNode> m_children; // at most 2^31 - 1, as are the attributes
    CXmlArray<CXmlAttribute> m_attributes;
    CXmlNode* m_parent = nullptr; // enclosing node, not owned
    std::uint8_t m_type = NODE_ELEMENT;
    CXmlString m_name;
    CXmlString m_text;
    // Where the node begins in the file it was read from (an element's "<"), and where its end tag
    // begins. Not copied with the node.
    std::uint32_t m_source = kXmlNoSource;
    std::uint32_t m_sourceEnd = kXmlNoSource;
};

// The scanner: fires the events below for whatever bytes it is given, and never rejects markup.
// Event arguments are NUL-terminated byte strings, valid only during the call. What a caller sees
// beyond start and end tags, attributes in double quotes and the text between tags:
// - Comments, CDATA sections, the document type declaration, XML declarations, processing
//   instructions and template blocks ("<% ... %>") are character data, each read whole: they come
//   inside the OnText of the run they stand in, open no element, and nothing in them is a tag.
// - An attribute written as its name alone comes to OnBareAttribute, which by default reports it
//   to OnAttribute with an empty value. A value may stand in single quotes as well, and a tab, CR
//   or LF separates attributes as a space does.
// - Character data after the last tag is reported too, and names, values and runs of any length
//   come whole.
// - ParseFile reports a file it read nothing from to OnFileNotParsed, and fires no other event.
// - From OnEndDocument on, m_syntaxError holds the first well-formedness error of the text.
class CXmlParser
{
public:
    virtual ~CXmlParser() = default;

    // Scans text up to its NUL and fires the events. Always true.
    bool Parse(const char* text);
    // Scans at most length bytes, stopping early at a NUL.
    bool Parse(const char* text, std::size_t length);
    bool Parse(const std::string& text)
    {
        return Parse(text.data(), text.size());
    }
    // Reads the whole file and parses it. False, with no event fired but OnFileNotParsed, for a
    // file that cannot be opened or read whole, or that holds a NUL byte (such as UTF-16 text).
    bool ParseFile(const char* path);

protected:
    virtual void OnStartDocument()
    {
    }
    virtual void OnStartElement(const char* /*name*/)
    {
    }
    virtual void OnEndElement(const char* /*name*/)
    {
    }
    virtual void OnAttribute(const char* /*name*/, const char* /*value*/)
    {
    }
    // An attribute written as its name alone. A handler that does not tell the two apart sees an
    // attribute with an empty value.
    virtual void OnBareAttribute(const char* name)
    {
        OnAttribute(name, "");
    }
    virtual void OnText(const char* /*text*/)
    {
    }
    virtual void OnEndDocument()
    {
    }
    // ParseFile read nothing to parse, for the reason given (NotText, at offset, for a NUL).
    virtual void OnFileNotParsed(XmlFileError /*error*/, std::size_t /*offset*/)
    {
    }

    // During an event, the index of the byte at which it was found (clamped past 2 GiB); after a
    // parse, the length parsed.
    std::int32_t m_pos = 0;
    // During an event, the index of the byte where what it reports begins: the "<" of the tag of an
    // element event, the first byte of an attribute's name or of a text.
    std::int32_t m_markupPos = 0;
    // During OnAttribute, the quote its value stands in, which m_pos points at.
    char m_valueQuote = 0;
    const char* m_input = nullptr; // not owned; valid only during a parse
    std::size_t m_inputSize = 0;   // of m_input
    // From OnEndDocument on, the first error that CheckWellFormed finds in the text, which the scan
    // checks as it goes, and the offset of its byte.
    XmlSyntaxError m_syntaxError = XmlSyntaxError::None;
    std::size_t m_syntaxOffset = 0;

    // Fires the events for size bytes at text, which hold no NUL and are followed by one. Each
    // event's arguments are terminated in place while it runs, and the bytes are put back after
    // it: once the parse ends the text is as it was. With checkUtf8, utf8 says whether the text is
    // UTF-8, which the scan checks as it goes; documentType becomes the document type declaration
    // that the well-formedness check passed (a view of the text), or empty. control is the offset
    // of the text's first control character (a NUL, or another than tab, LF and CR), or size.
    void ParseInPlace(char* text, std::size_t size, std::size_t control, bool checkUtf8, bool& utf8,
                      std::string_view& documentType);
    // During an event, the byte count of one of its arguments, found without counting when it is
    // the scanner's own.
    std::size_t ArgumentSize(const char* argument) const noexcept;

private:
    friend class XmlDetail::CScanEvents;
    // control: as for ParseInPlace, or kUnknownControl.
    static constexpr std::size_t kUnknownControl = ~std::size_t(0);
    void Scan(const char* text, std::size_t size, char* writable, std::size_t control, bool checkUtf8, bool* utf8,
              std::string_view* documentType);
    const char* m_arguments[2] = {};
    std::size_t m_argumentSizes[2] = {};
};

class CXmlDocument;

// The names beside a target that a save writes its new file to and keeps the previous version at
// (UTF-8); neither may exist yet.
struct CXmlSaveNames
{
    std::string temp;
    std::string backup;
};

// What a file on disk held when it was looked at: its bytes, or that there was none. A save given
// one replaces the file only while it still holds exactly that.
struct CXmlDiskState
{
    bool exists = false;
    std::string bytes;

    // Reads the file at a UTF-8 path; None also when there is no file there (exists is then false).
    XmlFileError Read(const char* path);
};

// A new file written beside its target, which Commit puts in the target's place while keeping the
// target's previous version beside it; Rollback puts that version back, Complete lets it go.
// Dropped uncommitted, the new file is removed and the target stays as it was; dropped committed,
// the save stands and the previous version goes (unless a rollback failed: then it stays).
class CXmlPendingSave
{
public:
    CXmlPendingSave() noexcept;
    CXmlPendingSave(const CXmlPendingSave&) = delete;
    CXmlPendingSave& operator=(const CXmlPendingSave&) = delete;
    ~CXmlPendingSave();

    // True when the file already holds the document's bytes: nothing was written.
    bool IsEmpty() const noexcept
    {
        return !m_file;
    }
    // Compares the target with what the save may replace, immediately before replacing it: Changed
    // or NotFound, with nothing replaced, when it no longer holds that. Otherwise puts the new file
    // in the target's place, keeping the previous version, and compares that version once more:
    // when another program wrote the file meanwhile, its version goes back and the result is
    // Changed. The document then counts the new bytes as those of the file. Nothing for an empty
    // save.
    XmlFileError Commit() noexcept;
    // Puts the previous version of a committed save back (removes the new file when there was
    // none), and the document counts the previous bytes as the file's again. When the system
    // refuses, the previous version stays where KeptPath says and is never removed.
    XmlFileError Rollback() noexcept;
    // Removes the previous version of a committed save: the save is final.
    void Complete() noexcept;
    // Removes the new file of a save not committed, leaving the target as it was.
    void Discard() noexcept;
    // Where the previous version is kept after a rollback that failed (UTF-8); else empty.
    std::string KeptPath() const;

private:
    friend class CXmlDocument;
    std::unique_ptr<XmlDetail::CFileReplacement> m_file;
    CXmlDocument* m_document = nullptr;
    // Before Commit, the bytes written; after it, the document's previous file bytes.
    std::string m_bytes;
    std::string m_path;
    // What the target must hold at Commit: the document's file bytes, or a state the caller gave.
    bool m_expectDocument = true;
    CXmlDiskState m_expected;
    // What the document's file was before Commit, for Rollback.
    bool m_previousIsSource = false;
    std::string m_previousPath;
    bool m_committed = false;
};

// The file steps that a save of several files takes beside a document's own, on UTF-8 paths. Each
// step that changes the disk is on it before the call returns.
namespace XmlDisk
{
// None with exists set, or why it cannot be told.
XmlFileError Exists(const char* path, bool& exists) noexcept;
// None also when there was no file to remove.
XmlFileError Remove(const char* path) noexcept;
// from takes to's name in one step, replacing the file there.
XmlFileError MoveOver(const char* from, const char* to) noexcept;
// None when the file at path could be renamed or removed now, or there is none: not a folder, not
// marked read-only, not held open by another program against it.
XmlFileError CanReplace(const char* path) noexcept;
// True when a and b name the same file, however the paths are spelled (letter case, "..", short
// names, slashes): by the file's identity when both exist, else by their full paths.
bool SameFile(const char* a, const char* b) noexcept;

// A small file written in pieces, each on the disk before Append returns. It is created only where
// there is none, and while it is open no other program may write, rename or remove it.
class CLog
{
public:
    CLog() = default;
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;
    ~CLog();

    XmlFileError Create(const char* path) noexcept;
    XmlFileError Append(const char* data, std::size_t size) noexcept;
    // Closes and removes it.
    XmlFileError Remove() noexcept;
    // Closes it, leaving it where it is.
    void Close() noexcept;
    bool IsOpen() const noexcept
    {
        return m_file != -1;
    }

private:
    std::intptr_t m_file = -1; // a HANDLE on Windows, else a file descriptor
    std::string m_path;
};

// Reads the log at path whole unless a program holds it open (InUse); NotFound when there is none.
XmlFileError ReadLog(const char* path, std::string& bytes) noexcept;

// Called before every step that changes the disk ("link", "rename", "remove", "record"): a test
// ends the process there, as a crash would.
using StepHook = void (*)(const char* step);
void SetStepHook(StepHook hook) noexcept;
} // namespace XmlDisk

class CXmlDocument : public CXmlParser
{
public:
    CXmlDocument() = default;
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;
    ~CXmlDocument() override;

    // Reads the file at a UTF-8 path and appends its tree, which the events build as the scan fires
    // them: a subclass's overrides see every load. A UTF-16 file (either byte order,
    // with or without a mark) is read as UTF-8; a file in any other encoding keeps its bytes.
    // False, with the tree and the encoding as they were and FileStatus saying why, when the file
    // cannot be read whole, does not convert cleanly (UTF-16 of odd length or with an unpaired
    // surrogate, bytes invalid in the code page the file declares), holds a NUL, or memory runs
    // out. A file that is not well-formed XML is read all the same; Syntax says what is wrong with
    // it, and so it does for a file holding another control character or declaring an encoding
    // that keeps no ASCII bytes.
    bool Load(const char* path) noexcept;
    // Like Load, from a file's bytes in memory, which the document copies.
    bool LoadBytes(const char* bytes, std::size_t size) noexcept;
    // Writes the tree to a new file beside the UTF-8 path and only then replaces the file there
    // with it: PrepareSave, Commit and Complete in one. False, with path untouched and nothing left
    // beside it, when any step fails (FileStatus says why).
    bool Save(const char* path, const CXmlDiskState* replacing = nullptr) noexcept;
    // The first half of Save: the new file beside the target, which Commit puts in its place only
    // while the target holds what the document expects of it: at the path last read from or
    // written to, the bytes last read or written there (Changed when it holds others, NotFound when
    // it is gone: it is never recreated); at any other path, whatever is there is replaced, or the
    // file created. With replacing, the caller accepts that state instead, such as what was on disk when
    // the person agreed to replace it. Nothing is written when the file already holds the tree's
    // bytes (the save is empty). A tree read from UTF-16 is written in UTF-16 again, in the same
    // byte order and with a mark when the file had one.
    // names gives the new file's and the previous version's paths, when the caller must know them
    // before either exists; otherwise free names beside the target are taken.
    XmlFileError PrepareSave(const char* path, CXmlPendingSave& save, const CXmlDiskState* replacing = nullptr,
                             const CXmlSaveNames* names = nullptr) noexcept;
    // None when the file at path holds the bytes last read from or written to it; Changed, NotFound
    // or why it cannot be read otherwise.
    XmlFileError CompareWithFile(const char* path) const noexcept;
    // The bytes Save writes; empty when Save would fail for the tree's bytes. For a document read
    // from one file, everything the tree holds as it was read keeps the file's own bytes; what was
    // changed, added or built otherwise is written in the engine's own form.
    std::string ToString() const;
    // The code page of the tree's bytes, for DecodeXmlValue, DecodeXmlValueExactly and
    // EncodeXmlValue: that of the last file loaded, with UTF-8 (65001) for a UTF-16 file and for a
    // document that never loaded one. It may be one of the engine's own numbers (XmlText.h).
    unsigned TreeCodePage() const noexcept;
    // Why the last Load, Parse or Save failed; None after one that succeeded.
    const CXmlFileStatus& FileStatus() const noexcept
    {
        return m_status;
    }
    // What is wrong with the text of the last Load or Parse as XML; None for a well-formed one, and
    // after a load that failed.
    const CXmlSyntax& Syntax() const noexcept
    {
        return m_syntax;
    }
    // What the document type of the last file loaded declares in its internal subset; empty after a
    // Parse and for a file without one.
    const CXmlDocumentType& DocumentType() const noexcept
    {
        return m_documentType;
    }

    CXmlNode m_root;
    CXmlNode* m_documentElement = nullptr; // first element of the last parse; owned by m_root's subtree

protected:
    void OnStartDocument() override;
    void OnStartElement(const char* name) override;
    void OnEndElement(const char* name) override;
    void OnAttribute(const char* name, const char* value) override;
    void OnBareAttribute(const char* name) override;
    void OnText(const char* text) override;
    // An inherited Parse or ParseFile reports on its text, or why there was none.
    void OnEndDocument() override;
    void OnFileNotParsed(XmlFileError error, std::size_t offset) override
    {
        Failed(error, offset);
    }

private:
    friend class CXmlPendingSave;
    // Converts a file's bytes as Load describes, then parses them.
    XmlFileError LoadFile(std::unique_ptr<char[]> bytes, std::size_t size);
    // Parses the bytes into the tree and keeps them: the tree's strings refer to them, and with
    // recordSource its nodes record where the file has them. With utf8 set, checks the bytes for
    // UTF-8 on the way and clears it when they are not. A file holding a NUL (NotText, nul its
    // offset), one that must be UTF-8 and is not (BadEncoding, nul the offset of the first bad byte)
    // or one too large for memory (Failed) leaves the tree as it was.
    XmlFileError LoadOwned(std::unique_ptr<char[]> bytes, std::size_t size, bool recordSource, bool& utf8,
                           std::size_t& nul, bool utf8Required = false) noexcept;
    CXmlNode& Current();
    // A string of the tree from an event's argument: during a load, one that lies in the bytes
    // being parsed refers to them, which the document keeps; any other is copied.
    void Keep(CXmlString& target, const char* text);
    // Where the file has what the event running reports, for a load that records it.
    std::uint32_t SourceOffset(std::int32_t at) const noexcept;
    CXmlAttribute& PendingAttribute(const char* name);
    void FlushAttributes();

    CXmlNode* m_current = nullptr;
    // Set while a load parses the bytes it keeps; with m_recordSource the nodes record where the
    // file has them, for the writer.
    bool m_loading = false;
    bool m_recordSource = false;
    // A tag's attributes wait until the tag is read, and then go into an array of their size.
    std::vector<std::unique_ptr<CXmlAttribute>> m_pending;
    CXmlNode* m_pendingNode = nullptr;
    // The loaded files' bytes (UTF-8 for a UTF-16 file), which the tree's strings refer to;
    // released with the document.
    std::vector<std::unique_ptr<char[]>> m_storage;
    std::size_t m_loadedSize = 0;
    // The encoding of the last file loaded, which Save writes: a Windows code-page number, and
    // whether a UTF-16 file began with a byte-order mark.
    unsigned m_fileCodePage = 65001;
    bool m_fileMark = false;
    // The bytes the tree's source offsets refer to, in m_storage: set only while the tree holds a
    // single file, which the writer then copies around what changed; empty otherwise.
    std::string_view m_source;
    // The file's bytes as they are on disk: as last read or written. While they are the source's
    // own, as for a file other than UTF-16 just read, they are not held twice.
    std::string m_fileBytes;
    bool m_fileIsSource = false;
    std::string_view FileBytes() const noexcept
    {
        return m_fileIsSource ? std::string_view(m_source) : std::string_view(m_fileBytes);
    }
    // The UTF-8 path of the file last read or written, whose bytes FileBytes holds; empty for a
    // document read from memory or never read.
    std::string m_filePath;
    // None when the file at path holds what a save may replace (see PrepareSave).
    XmlFileError CheckReplaceable(const char* path, const CXmlDiskState* replacing) const;
    // Whether path is the file last read or written.
    bool IsOwnFile(const char* path) const noexcept;
    CXmlFileStatus m_status;
    CXmlSyntax m_syntax;
    CXmlDocumentType m_documentType;
    void Failed(XmlFileError error, std::size_t offset) noexcept
    {
        m_status = CXmlFileStatus{error, offset};
        m_syntax = CXmlSyntax{};
    }
};
