// The content files' own small XML engine: a character scanner that reports events, a document
// that builds a tree from them, and a writer that turns the tree back into bytes. Everything the
// engine does not model is carried through as character data, so a file read and written back
// keeps its bytes apart from the normalisation inside tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A byte string of the tree. It reads like a const std::string (c_str, size, comparisons) and is
// assigned from C strings and std::strings. A loaded document's strings refer to the document's
// own copy of the file instead of holding bytes of their own; every copy of a string owns its
// bytes, so a copy may outlive the document.
class CXmlString
{
public:
    CXmlString() noexcept = default;
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

    const char* c_str() const noexcept
    {
        return m_data;
    }
    const char* data() const noexcept
    {
        return m_data;
    }
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
        return m_data;
    }
    const char* end() const noexcept
    {
        return m_data + size();
    }
    char operator[](std::size_t i) const noexcept
    {
        return m_data[i];
    }
    void clear() noexcept;

    std::string str() const
    {
        return std::string(m_data, size());
    }
    operator std::string() const
    {
        return str();
    }
    operator std::string_view() const noexcept
    {
        return std::string_view(m_data, size());
    }

private:
    friend class CXmlDocument;
    static constexpr std::size_t kOwnedBit = ~(~std::size_t(0) >> 1);
    static constexpr std::size_t kMaxSize = ~std::size_t(0) >> 2;

    // Refers to size bytes at text, which stay valid and NUL-terminated as long as the string.
    void Borrow(const char* text, std::size_t size) noexcept;
    void Assign(const char* text, std::size_t size);
    void Release() noexcept;

    const char* m_data = "";
    std::size_t m_size = 0; // byte count, with kOwnedBit set when m_data was allocated by this string
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

// Why a file is not well-formed XML, as a conforming reader would find it first. The engine reads
// such a file all the same; its users decide whether they may write it.
enum class XmlSyntaxError : std::uint8_t
{
    None,
    NoDocumentElement,    // no element at all
    EndInsideMarkup,      // the file ends inside a tag, comment, section or declaration
    UnclosedElement,      // the file ends while an element is open
    MismatchedEndTag,     // an end tag names another element than the one it closes
    StrayEndTag,          // an end tag with no element open
    BadName,              // a tag or attribute name is missing or starts with a character no name starts with
    AttributeSyntax,      // an attribute lacks its "=", its quotes, or the space before it
    LessThanInValue,      // a "<" inside an attribute value
    TextOutsideElement,   // character data (not white space) before or after the document element
    SecondElement,        // another element after the document element
    BadComment,           // "--" inside a comment
    MisplacedDeclaration, // "<?xml" anywhere but at the very start
    BadMarkup,            // "<!" that opens no comment, CDATA section or document type declaration
};

struct CXmlSyntax
{
    XmlSyntaxError error = XmlSyntaxError::None;
    std::size_t offset = 0;  // of the byte where the error was found
    std::uint32_t line = 0;  // 1-based; line breaks are LF, CR LF and CR
    std::uint32_t column = 0; // 1-based, in characters when utf8, else in bytes
};

// Checks size bytes at text against the rules of well-formed XML that the content files meet, and
// reports the first error. Tolerated, because stored files rely on them and the engine carries them
// through exactly: an attribute written as its name alone, a repeated attribute name, and an "&" that
// begins no reference. A leading UTF-8 byte-order mark is skipped.
CXmlSyntax CheckWellFormed(const char* text, std::size_t size, bool utf8) noexcept;

class CXmlAttribute
{
public:
    CXmlAttribute() = default;
    // A copy of *other, or an empty attribute when other is null: a missing attribute reads as empty.
    explicit CXmlAttribute(const CXmlAttribute* other);
    CXmlAttribute(CXmlString name, CXmlString value);
    virtual ~CXmlAttribute() = default;

    // A tree holds a great many small attributes and nodes: they come from a pool of this thread.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    CXmlString m_name;
    CXmlString m_value;
    // Read as its name alone, without "=" and a value; written so again while m_value is empty.
    bool m_bare = false;
};

class CXmlNode
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
    virtual ~CXmlNode();

    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    // The first attribute of that name (byte for byte), or null.
    CXmlAttribute* FindAttribute(const char* name) const;
    // Appends an attribute after the others and returns it.
    CXmlAttribute* AddAttribute(const char* name, const char* value);
    // Destroys every child with its subtree, and every attribute. Works without recursion and
    // allocates nothing, so a tree of any depth can be cleared and destroyed at any time.
    void Clear() noexcept;

    std::vector<std::unique_ptr<CXmlNode>> m_children;
    std::vector<std::unique_ptr<CXmlAttribute>> m_attributes;
    CXmlNode* m_parent = nullptr; // enclosing node, not owned
    std::uint8_t m_type = NODE_ELEMENT;
    CXmlString m_name;
    CXmlString m_text;
};

// The scanner: fires the events below for whatever bytes it is given, and never rejects markup.
// Event arguments are NUL-terminated and valid only during the call.
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
    // Reads the whole file and parses it. False, with no event fired, for a file that cannot be
    // opened or read whole, or that holds a NUL byte (such as UTF-16 text).
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

    // During an event, the index of the byte at which it was found (clamped past 2 GiB); after a
    // parse, the length parsed.
    std::int32_t m_pos = 0;
    const char* m_input = nullptr; // not owned; valid only during a parse

    // Fires the events for size bytes at text, which hold no NUL and are followed by one. The
    // bytes are changed: event arguments are terminated in place wherever they can be.
    void ParseInPlace(char* text, std::size_t size);

private:
    void Scan(const char* text, std::size_t size, char* writable);
};

class CXmlDocument : public CXmlParser
{
public:
    CXmlDocument() = default;
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;
    ~CXmlDocument() override;

    // Reads the file at a UTF-8 path and appends its tree. A UTF-16 file (either byte order,
    // with or without a mark) is read as UTF-8; a file in any other encoding keeps its bytes.
    // False, with the tree and the encoding as they were, when the file cannot be read whole, does
    // not convert cleanly (UTF-16 of odd length or with an unpaired surrogate, bytes invalid in the
    // code page the file declares), holds a NUL, or memory runs out.
    bool Load(const char* path) noexcept;
    // Like Load, from a file's bytes in memory, which the document copies.
    bool LoadBytes(const char* bytes, std::size_t size) noexcept;
    // Writes the whole tree to a new file beside the UTF-8 path and only then replaces the file
    // there with it. A tree read from UTF-16 is written in UTF-16 again, in the same byte order and
    // with a mark when the file had one. False, with path untouched and nothing left beside it,
    // when any step fails (running out of memory included), when path is read-only, or when a
    // UTF-16 file's tree holds bytes that are not UTF-8.
    bool Save(const char* path) const noexcept;
    // The bytes Save writes; empty when Save would fail for the tree's bytes.
    std::string ToString() const;
    // The code page of the tree's bytes, for DecodeXmlValue and EncodeXmlValue: that of the last
    // file loaded, with UTF-8 (65001) for a UTF-16 file and for a document that never loaded one.
    unsigned CodePage() const noexcept;

    CXmlNode m_root;
    CXmlNode* m_documentElement = nullptr; // first element of the last parse; owned by m_root's subtree

protected:
    void OnStartDocument() override;
    void OnStartElement(const char* name) override;
    void OnEndElement(const char* name) override;
    void OnAttribute(const char* name, const char* value) override;
    void OnBareAttribute(const char* name) override;
    void OnText(const char* text) override;

private:
    // Converts a file's bytes as Load describes, then parses them in place.
    bool LoadFile(std::unique_ptr<char[]> bytes, std::size_t size);
    // Parses the bytes in place into the tree and keeps them: the tree's strings refer to them.
    bool LoadOwned(std::unique_ptr<char[]> bytes, std::size_t size) noexcept;
    // A string of the tree: referring to the bytes being loaded when text lies in them, else a copy.
    void Store(CXmlString& target, const char* text) const;
    CXmlNode& Current();

    CXmlNode* m_current = nullptr;
    // Copies of loaded files that the tree's strings refer to; released with the document.
    std::vector<std::unique_ptr<char[]>> m_storage;
    // The bytes of the running load, which the new strings may refer to.
    const char* m_loadBegin = nullptr;
    const char* m_loadEnd = nullptr;
    std::size_t m_loadedSize = 0;
    // The encoding of the last file loaded, which Save writes: a Windows code-page number, and
    // whether a UTF-16 file began with a byte-order mark.
    unsigned m_fileCodePage = 65001;
    bool m_fileMark = false;
};
