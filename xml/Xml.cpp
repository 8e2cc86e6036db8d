#include "Xml.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>
#include <typeinfo>
#include <utility>

// ---------------------------------------------------------------------------------------------

void CXmlString::Assign(const char* text, std::size_t size)
{
    if (size == 0)
    {
        Release();
        return;
    }
    // Like std::string, a size no memory can hold is a length error (and size + 1 cannot wrap).
    if (size >= kMaxSize)
        throw std::length_error("CXmlString");
    char* copy = new char[size + 1];
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    Release();
    m_data = copy;
    m_size = size | kOwnedBit;
}

void CXmlString::Release() noexcept
{
    if (m_size & kOwnedBit)
        delete[] const_cast<char*>(m_data);
    m_data = "";
    m_size = 0;
}

void CXmlString::Borrow(const char* text, std::size_t size) noexcept
{
    assert(text[size] == '\0');
    Release();
    if (size != 0)
    {
        m_data = text;
        m_size = size;
    }
}

CXmlString::CXmlString(const char* text)
{
    if (text)
        Assign(text, std::strlen(text));
}

CXmlString::CXmlString(const char* text, std::size_t size)
{
    Assign(text, size);
}

CXmlString::CXmlString(const std::string& text)
{
    Assign(text.data(), text.size());
}

CXmlString::CXmlString(std::string_view text)
{
    Assign(text.data(), text.size());
}

CXmlString::CXmlString(const CXmlString& other)
{
    Assign(other.m_data, other.size());
}

// A borrowed string is copied rather than moved, so that no string taken out of a tree can
// outlive the document it refers to.
CXmlString::CXmlString(CXmlString&& other)
{
    if (other.m_size & kOwnedBit)
    {
        m_data = other.m_data;
        m_size = other.m_size;
        other.m_data = "";
        other.m_size = 0;
    }
    else if (other.m_size != 0)
    {
        Assign(other.m_data, other.size());
    }
}

CXmlString::~CXmlString()
{
    Release();
}

CXmlString& CXmlString::operator=(const CXmlString& other)
{
    if (this != &other)
        Assign(other.m_data, other.size());
    return *this;
}

CXmlString& CXmlString::operator=(CXmlString&& other)
{
    if (this == &other)
        return *this;
    if (other.m_size & kOwnedBit)
    {
        Release();
        m_data = other.m_data;
        m_size = other.m_size;
        other.m_data = "";
        other.m_size = 0;
    }
    else
    {
        Assign(other.m_data, other.size());
    }
    return *this;
}

CXmlString& CXmlString::operator=(const char* text)
{
    // The text may be this string's own bytes: Assign copies before it releases.
    Assign(text ? text : "", text ? std::strlen(text) : 0);
    return *this;
}

CXmlString& CXmlString::operator=(const std::string& text)
{
    Assign(text.data(), text.size());
    return *this;
}

void CXmlString::clear() noexcept
{
    Release();
}

static bool SameBytes(const char* a, std::size_t aSize, const char* b, std::size_t bSize) noexcept
{
    return aSize == bSize && (aSize == 0 || std::memcmp(a, b, aSize) == 0);
}

bool operator==(const CXmlString& a, const CXmlString& b) noexcept
{
    return SameBytes(a.data(), a.size(), b.data(), b.size());
}

bool operator==(const CXmlString& a, const char* b) noexcept
{
    if (!b)
        return a.empty();
    return SameBytes(a.data(), a.size(), b, std::strlen(b));
}

bool operator==(const char* a, const CXmlString& b) noexcept
{
    return b == a;
}

bool operator==(const CXmlString& a, const std::string& b) noexcept
{
    return SameBytes(a.data(), a.size(), b.data(), b.size());
}

bool operator==(const std::string& a, const CXmlString& b) noexcept
{
    return b == a;
}

std::string operator+(const CXmlString& a, const std::string& b)
{
    return a.str() + b;
}

std::string operator+(const std::string& a, const CXmlString& b)
{
    return a + b.str();
}

std::string operator+(const CXmlString& a, const char* b)
{
    return a.str() + (b ? b : "");
}

std::string operator+(const char* a, const CXmlString& b)
{
    return (a ? a : "") + b.str();
}

std::ostream& operator<<(std::ostream& out, const CXmlString& s)
{
    return out.write(s.data(), static_cast<std::streamsize>(s.size()));
}

// ---------------------------------------------------------------------------------------------

// Blocks of one size, carved from slabs that are kept for reuse while the thread lives: a freed
// node or attribute goes back to the pool of the thread that frees it. Under AddressSanitizer every
// block is an allocation of its own, so that misuse is still caught.
namespace
{

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

constexpr std::size_t kPoolSlabSize = std::size_t(1) << 16;

template <std::size_t kBlockSize> class CBlockPool
{
public:
    void* Allocate()
    {
        if (m_free)
        {
            FreeBlock* block = m_free;
            m_free = block->next;
            return block;
        }
        if (m_next == m_end)
            AddSlab();
        void* block = m_next;
        m_next += kBlockSize;
        return block;
    }

    void Free(void* block) noexcept
    {
        m_free = new (block) FreeBlock{m_free};
    }

private:
    struct FreeBlock
    {
        FreeBlock* next;
    };
    struct alignas(std::max_align_t) Slab
    {
        Slab* next;
    };
    static_assert(kBlockSize >= sizeof(FreeBlock) && kBlockSize % alignof(FreeBlock) == 0, "block size");

    void AddSlab()
    {
        char* memory = static_cast<char*>(::operator new(kPoolSlabSize));
        m_slabs = new (memory) Slab{m_slabs};
        m_next = memory + sizeof(Slab);
        m_end = m_next + (kPoolSlabSize - sizeof(Slab)) / kBlockSize * kBlockSize;
    }

    FreeBlock* m_free = nullptr;
    char* m_next = nullptr;
    char* m_end = nullptr;
    Slab* m_slabs = nullptr; // every slab, so that they stay reachable
};

thread_local CBlockPool<sizeof(CXmlNode)> t_nodePool;
thread_local CBlockPool<sizeof(CXmlAttribute)> t_attributePool;

} // namespace

// A derived class of another size is allocated as usual.
void* CXmlNode::operator new(std::size_t size)
{
    if (!kPooled || size != sizeof(CXmlNode))
        return ::operator new(size);
    return t_nodePool.Allocate();
}

void CXmlNode::operator delete(void* block, std::size_t size) noexcept
{
    if (!block)
        return;
    if (!kPooled || size != sizeof(CXmlNode))
        ::operator delete(block);
    else
        t_nodePool.Free(block);
}

void* CXmlAttribute::operator new(std::size_t size)
{
    if (!kPooled || size != sizeof(CXmlAttribute))
        return ::operator new(size);
    return t_attributePool.Allocate();
}

void CXmlAttribute::operator delete(void* block, std::size_t size) noexcept
{
    if (!block)
        return;
    if (!kPooled || size != sizeof(CXmlAttribute))
        ::operator delete(block);
    else
        t_attributePool.Free(block);
}

CXmlAttribute::CXmlAttribute(const CXmlAttribute* other)
{
    if (other)
    {
        m_name = other->m_name;
        m_value = other->m_value;
    }
}

CXmlAttribute::CXmlAttribute(CXmlString name, CXmlString value)
    : m_name(std::move(name)), m_value(std::move(value))
{
}

CXmlNode::CXmlNode(const CXmlNode& other) : m_type(other.m_type), m_name(other.m_name), m_text(other.m_text)
{
    m_attributes.reserve(other.m_attributes.size());
    for (const auto& attribute : other.m_attributes)
        m_attributes.push_back(std::make_unique<CXmlAttribute>(attribute.get()));
}

CXmlNode::~CXmlNode()
{
    Clear();
}

CXmlAttribute* CXmlNode::FindAttribute(const char* name) const
{
    if (!name)
        return nullptr;
    const std::size_t size = std::strlen(name);
    for (const auto& attribute : m_attributes)
    {
        if (SameBytes(attribute->m_name.data(), attribute->m_name.size(), name, size))
            return attribute.get();
    }
    return nullptr;
}

CXmlAttribute* CXmlNode::AddAttribute(const char* name, const char* value)
{
    m_attributes.push_back(std::make_unique<CXmlAttribute>(CXmlString(name), CXmlString(value)));
    return m_attributes.back().get();
}

// Without recursion: the walk goes down the last child until it meets a leaf and destroys it, so
// every node is destroyed once it has no children left. The path is as long as the tree is deep,
// and no node's children are copied anywhere.
void CXmlNode::Clear()
{
    if (!m_children.empty())
    {
        std::vector<CXmlNode*> path{this};
        while (!path.empty())
        {
            CXmlNode* node = path.back();
            if (node->m_children.empty())
            {
                path.pop_back();
                if (!path.empty())
                    path.back()->m_children.pop_back();
                continue;
            }
            CXmlNode* last = node->m_children.back().get();
            if (last->m_children.empty())
                node->m_children.pop_back();
            else
                path.push_back(last);
        }
    }
    std::vector<std::unique_ptr<CXmlNode>>().swap(m_children);
    std::vector<std::unique_ptr<CXmlAttribute>>().swap(m_attributes);
}

// ---------------------------------------------------------------------------------------------
// The scanner. Outside markup, bytes are character data up to a "<" that opens a tag; comments,
// CDATA sections, declarations and processing instructions are character data too. Inside a tag
// the flags below decide where each byte goes. Pieces of names, values and text are kept as
// ranges of the input as long as they are contiguous, so the common case copies nothing.

namespace
{

// The content files' items carry a few attributes each.
constexpr std::size_t kFirstAttributeCapacity = 4;

enum CharClass : std::uint8_t
{
    kOrdinary,
    kLess,
    kSlash,
    kGreater,
    kEquals,
    kQuote,
    kSeparator,
};

constexpr std::array<std::uint8_t, 256> MakeClassTable()
{
    std::array<std::uint8_t, 256> table{};
    table['<'] = kLess;
    table['/'] = kSlash;
    table['>'] = kGreater;
    table['='] = kEquals;
    table['"'] = kQuote;
    table['\''] = kQuote;
    table[' '] = kSeparator;
    table['\t'] = kSeparator;
    table['\r'] = kSeparator;
    table['\n'] = kSeparator;
    return table;
}

constexpr std::array<std::uint8_t, 256> kClass = MakeClassTable();

inline std::uint8_t ClassOf(char c)
{
    return kClass[static_cast<unsigned char>(c)];
}

// A name, value or end-tag name being collected: a range of the input while its bytes follow one
// another there, otherwise a copy. A range is terminated in place when it is reported, on the
// byte after it, unless another piece took that byte (pieces of one tag can interleave).
struct Piece
{
    std::size_t start = 0;
    std::size_t end = 0;
    bool copied = false;
    bool nextTaken = false;
    std::string copy;

    bool InPlace() const
    {
        return !copied && !nextTaken && start != end;
    }

    std::size_t Size() const
    {
        return copied ? copy.size() : end - start;
    }
    bool Empty() const
    {
        return Size() == 0;
    }

    void Clear()
    {
        start = end = 0;
        copied = false;
        nextTaken = false;
        copy.clear();
    }

    void Append(const char* input, std::size_t from, std::size_t to)
    {
        if (copied)
        {
            copy.append(input + from, to - from);
        }
        else if (start == end)
        {
            start = from;
            end = to;
        }
        else if (from == end)
        {
            end = to;
        }
        else
        {
            copy.assign(input + start, end - start);
            copy.append(input + from, to - from);
            copied = true;
        }
    }

    void CopyFrom(const Piece& other)
    {
        start = other.start;
        end = other.end;
        copied = other.copied;
        nextTaken = other.nextTaken;
        copy = other.copy;
    }
};

// Index of the first occurrence of the three bytes of pattern at or after from, or size.
std::size_t FindTriple(const char* input, std::size_t size, std::size_t from, const char* pattern)
{
    while (from + 3 <= size)
    {
        const void* hit = std::memchr(input + from, pattern[0], size - from - 2);
        if (!hit)
            break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - input);
        if (input[at + 1] == pattern[1] && input[at + 2] == pattern[2])
            return at;
        from = at + 1;
    }
    return size;
}

std::size_t FindPair(const char* input, std::size_t size, std::size_t from, char first, char second)
{
    while (from + 2 <= size)
    {
        const void* hit = std::memchr(input + from, first, size - from - 1);
        if (!hit)
            break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - input);
        if (input[at + 1] == second)
            return at;
        from = at + 1;
    }
    return size;
}

bool StartsWith(const char* input, std::size_t size, std::size_t at, const char* prefix, std::size_t length)
{
    return size - at >= length && std::memcmp(input + at, prefix, length) == 0;
}

constexpr char kCommentOpen[] = "<!--";
constexpr char kCDataOpen[] = "<![CDATA[";

// The end (one past the last byte) of the markup that the engine carries as character data and
// that begins at the "<" at start, followed by "!" or "?". Unterminated, it runs to the end.
std::size_t ConstructEnd(const char* input, std::size_t size, std::size_t start)
{
    if (input[start + 1] == '?')
    {
        const std::size_t at = FindPair(input, size, start + 2, '?', '>');
        return at == size ? size : at + 2;
    }
    if (StartsWith(input, size, start, kCommentOpen, sizeof kCommentOpen - 1))
    {
        const std::size_t at = FindTriple(input, size, start + sizeof kCommentOpen - 1, "-->");
        return at == size ? size : at + 3;
    }
    if (StartsWith(input, size, start, kCDataOpen, sizeof kCDataOpen - 1))
    {
        const std::size_t at = FindTriple(input, size, start + sizeof kCDataOpen - 1, "]]>");
        return at == size ? size : at + 3;
    }
    // A declaration ends at the first ">" outside quotes and outside its internal subset.
    char quote = 0;
    bool inSubset = false;
    for (std::size_t i = start + 2; i < size; ++i)
    {
        const char c = input[i];
        if (quote)
        {
            if (c == quote)
                quote = 0;
        }
        else if (c == '"' || c == '\'')
        {
            quote = c;
        }
        else if (c == '[')
        {
            inSubset = true;
        }
        else if (c == ']')
        {
            inSubset = false;
        }
        else if (c == '>' && !inSubset)
        {
            return i + 1;
        }
    }
    return size;
}

inline bool OpensConstruct(char next)
{
    return next == '!' || next == '?';
}

// One scan over size bytes. The sink receives StartDocument, StartElement(piece, pos),
// EndElement(piece, pos), Attribute(name, value, pos), Text(start, end, pos) and EndDocument.
template <class Sink> void RunScanner(const char* input, std::size_t size, Sink& sink)
{
    bool inTag = false;
    bool inName = false;
    bool inEndTag = false;
    bool attributePending = false;
    bool inAttributeName = false;
    bool inValue = false;
    char quote = 0;
    Piece elementName;
    Piece endTagName;
    Piece attributeName;
    Piece value;
    Piece* const pieces[] = {&elementName, &endTagName, &attributeName, &value};
    std::size_t textStart = 0;

    auto append = [&](Piece& target, std::size_t from, std::size_t to) {
        for (Piece* other : pieces)
        {
            if (other != &target && other->end == from && !other->copied)
                other->nextTaken = true;
        }
        target.Append(input, from, to);
    };

    // Ordinary bytes go to the first piece that is being collected; outside any, the first of them
    // begins a new attribute's name.
    auto ordinary = [&](std::size_t from, std::size_t to) {
        if (inEndTag)
        {
            append(endTagName, from, to);
        }
        else if (inName)
        {
            append(elementName, from, to);
        }
        else if (inAttributeName)
        {
            append(attributeName, from, to);
        }
        else if (inValue)
        {
            append(value, from, to);
        }
        else if (!attributePending)
        {
            attributeName.Clear();
            append(attributeName, from, to);
            inAttributeName = true;
            attributePending = true;
        }
    };

    sink.StartDocument();
    std::size_t i = 0;
    while (i < size)
    {
        if (!inTag)
        {
            const void* hit = std::memchr(input + i, '<', size - i);
            if (!hit)
            {
                i = size;
                break;
            }
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - input);
            const char next = at + 1 < size ? input[at + 1] : '\0';
            if (next == '%')
            {
                i = at + 1;
                continue;
            }
            if (OpensConstruct(next))
            {
                i = ConstructEnd(input, size, at);
                continue;
            }
            if (at > textStart)
                sink.Text(textStart, at, at);
            inTag = true;
            inName = true;
            elementName.Clear();
            i = at + 1;
            continue;
        }

        // The usual state inside a value: every byte but the closing quote belongs to it.
        if (inValue && !inEndTag && !inName && !inAttributeName)
        {
            const void* hit = std::memchr(input + i, quote, size - i);
            const std::size_t at =
                hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - input) : size;
            if (at > i)
                append(value, i, at);
            if (at == size)
                break;
            sink.Attribute(attributeName, value, at);
            inValue = false;
            attributePending = false;
            i = at + 1;
            continue;
        }

        const char c = input[i];
        switch (ClassOf(c))
        {
        case kOrdinary: {
            std::size_t to = i + 1;
            while (to < size && ClassOf(input[to]) == kOrdinary)
                ++to;
            ordinary(i, to);
            i = to;
            continue;
        }
        case kLess: {
            if (inValue)
            {
                append(value, i, i + 1);
                break;
            }
            const char next = i + 1 < size ? input[i + 1] : '\0';
            if (next == '%')
                break; // a "<%" inside a tag is no character data: the "<" is dropped
            if (OpensConstruct(next))
            {
                // The tag is abandoned, as a comment inside one always did; what follows is data.
                inTag = inName = inEndTag = attributePending = inAttributeName = false;
                textStart = i;
                i = ConstructEnd(input, size, i);
                continue;
            }
            inName = true;
            elementName.Clear();
            break;
        }
        case kSlash:
            if (inValue)
            {
                append(value, i, i + 1);
            }
            else if (inName && elementName.Empty())
            {
                inEndTag = true;
                endTagName.Clear();
            }
            else if (inName)
            {
                inEndTag = true;
                endTagName.CopyFrom(elementName);
                sink.StartElement(elementName, i);
            }
            else
            {
                sink.EndElement(elementName, i);
            }
            break;
        case kGreater:
            if (inValue)
            {
                append(value, i, i + 1);
                break;
            }
            if (inEndTag)
            {
                inName = false;
                inEndTag = false;
                sink.EndElement(endTagName, i);
            }
            else if (inName)
            {
                inName = false;
                sink.StartElement(elementName, i);
            }
            inTag = false;
            attributePending = false;
            inAttributeName = false;
            textStart = i + 1;
            break;
        case kEquals:
            if (inValue)
                append(value, i, i + 1);
            else if (inAttributeName)
                inAttributeName = false;
            break;
        case kQuote:
            if (inValue)
            {
                if (c == quote)
                {
                    sink.Attribute(attributeName, value, i);
                    inValue = false;
                    attributePending = false;
                }
                else
                {
                    // The other kind of quote belongs to the value, like every other byte that
                    // has a meaning in a tag, so no name ever holds a quote.
                    append(value, i, i + 1);
                }
            }
            else if (attributePending)
            {
                inValue = true;
                quote = c;
                value.Clear();
            }
            break;
        case kSeparator:
            if (inValue)
            {
                append(value, i, i + 1);
            }
            else if (inName && !inEndTag)
            {
                sink.StartElement(elementName, i);
                inName = false;
            }
            break;
        default:
            break;
        }
        ++i;
    }
    if (!inTag && size > textStart)
        sink.Text(textStart, size, size);
    sink.EndDocument();
}

std::int32_t ClampPosition(std::size_t pos)
{
    return static_cast<std::int32_t>(std::min<std::size_t>(pos, INT32_MAX));
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool CXmlParser::ReadFile(const char* path, std::unique_ptr<char[]>& buffer, std::size_t& size)
{
    if (!path)
        return false;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = false;
    if (std::fseek(file, 0, SEEK_END) == 0)
    {
        const long end = std::ftell(file);
        if (end >= 0 && static_cast<unsigned long>(end) <= kMaxFileSize && std::fseek(file, 0, SEEK_SET) == 0)
        {
            const std::size_t length = static_cast<std::size_t>(end);
            std::unique_ptr<char[]> data(new (std::nothrow) char[length + 1]);
            // The file must end where its size said: a failed or short read, or more bytes than
            // expected, leave it unread.
            if (data && std::fread(data.get(), 1, length, file) == length && std::fgetc(file) == EOF &&
                !std::ferror(file))
            {
                data[length] = '\0';
                if (!std::memchr(data.get(), '\0', length))
                {
                    buffer = std::move(data);
                    size = length;
                    ok = true;
                }
            }
        }
    }
    std::fclose(file);
    return ok;
}

void CXmlParser::Scan(const char* text, std::size_t size, char* buffer)
{
    // Hands the pieces to the virtual events as NUL-terminated strings: terminated in place when
    // the bytes are ours to change (the terminator always falls on a byte already scanned),
    // otherwise copied.
    class CEvents
    {
    public:
        CEvents(CXmlParser& parser, const char* text, char* buffer)
            : m_parser(parser), m_text(text), m_buffer(buffer)
        {
        }
        void StartDocument()
        {
            m_parser.OnStartDocument();
        }
        void EndDocument()
        {
            m_parser.OnEndDocument();
        }
        void StartElement(const Piece& name, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.OnStartElement(Terminate(name, m_first));
        }
        void EndElement(const Piece& name, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.OnEndElement(Terminate(name, m_first));
        }
        void Attribute(const Piece& name, const Piece& value, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            const char* n = Terminate(name, m_first);
            m_parser.OnAttribute(n, Terminate(value, m_second));
        }
        void Text(std::size_t start, std::size_t end, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.OnText(Terminate(start, end, m_first));
        }

    private:
        const char* Terminate(std::size_t start, std::size_t end, std::string& scratch)
        {
            if (m_buffer)
            {
                m_buffer[end] = '\0';
                return m_buffer + start;
            }
            scratch.assign(m_text + start, end - start);
            return scratch.c_str();
        }
        const char* Terminate(const Piece& piece, std::string& scratch)
        {
            if (piece.copied)
                return piece.copy.c_str();
            if (piece.start == piece.end)
                return "";
            if (!piece.InPlace())
            {
                scratch.assign(m_text + piece.start, piece.end - piece.start);
                return scratch.c_str();
            }
            return Terminate(piece.start, piece.end, scratch);
        }

        CXmlParser& m_parser;
        const char* m_text;
        char* m_buffer;
        std::string m_first;
        std::string m_second;
    };

    m_input = text;
    m_pos = 0;
    CEvents events(*this, text, buffer);
    RunScanner(text, size, events);
    m_pos = ClampPosition(size);
    m_input = nullptr;
}

bool CXmlParser::Parse(const char* text)
{
    return Parse(text, text ? std::strlen(text) : 0);
}

bool CXmlParser::Parse(const char* text, std::size_t length)
{
    if (!text)
        text = "";
    const void* nul = std::memchr(text, '\0', length);
    if (nul)
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    Scan(text, length, nullptr);
    return true;
}

bool CXmlParser::ParseFile(const char* path)
{
    std::unique_ptr<char[]> buffer;
    std::size_t size = 0;
    if (!ReadFile(path, buffer, size))
        return false;
    Scan(buffer.get(), size, buffer.get());
    return true;
}

// ---------------------------------------------------------------------------------------------

CXmlDocument::~CXmlDocument()
{
    m_root.Clear(); // before m_storage, which the tree's strings refer to
}

void CXmlDocument::Set(CXmlString& target, const CBytes& bytes)
{
    if (bytes.borrow)
        target.Borrow(bytes.data, bytes.size);
    else
        target.Assign(bytes.data, bytes.size);
}

void CXmlDocument::BeginTree()
{
    m_current = &m_root;
    m_documentElement = nullptr;
}

void CXmlDocument::AddElement(const CBytes& name)
{
    if (!m_current)
        m_current = &m_root;
    auto node = std::make_unique<CXmlNode>();
    Set(node->m_name, name);
    node->m_parent = m_current;
    CXmlNode* added = node.get();
    m_current->m_children.push_back(std::move(node));
    if (!m_documentElement)
        m_documentElement = added;
    m_current = added;
}

// Any end tag closes the innermost open element; one that finds none open is ignored.
void CXmlDocument::CloseElement()
{
    if (m_current && m_current != &m_root && m_current->m_parent)
        m_current = m_current->m_parent;
}

void CXmlDocument::AddAttributeToCurrent(const CBytes& name, const CBytes& value)
{
    if (!m_current)
        m_current = &m_root;
    auto& attributes = m_current->m_attributes;
    if (attributes.capacity() == 0)
        attributes.reserve(kFirstAttributeCapacity);
    auto attribute = std::make_unique<CXmlAttribute>();
    Set(attribute->m_name, name);
    Set(attribute->m_value, value);
    attributes.push_back(std::move(attribute));
}

void CXmlDocument::AddText(const CBytes& text)
{
    if (!m_current)
        m_current = &m_root;
    auto node = std::make_unique<CXmlNode>();
    node->m_type = NODE_TEXT;
    Set(node->m_text, text);
    node->m_parent = m_current;
    m_current->m_children.push_back(std::move(node));
}

CXmlDocument::CBytes CXmlDocument::Copied(const char* text)
{
    return {text ? text : "", text ? std::strlen(text) : 0, false};
}

void CXmlDocument::OnStartDocument()
{
    BeginTree();
}

void CXmlDocument::OnStartElement(const char* name)
{
    AddElement(Copied(name));
}

void CXmlDocument::OnEndElement(const char* /*name*/)
{
    CloseElement();
}

void CXmlDocument::OnAttribute(const char* name, const char* value)
{
    AddAttributeToCurrent(Copied(name), Copied(value));
}

void CXmlDocument::OnText(const char* text)
{
    AddText(Copied(text));
}

bool CXmlDocument::Load(const char* path)
{
    std::unique_ptr<char[]> buffer;
    std::size_t size = 0;
    if (!ReadFile(path, buffer, size))
        return false;
    Build(std::move(buffer), size);
    return true;
}

void CXmlDocument::LoadBytes(const char* bytes, std::size_t size)
{
    if (!bytes)
        size = 0;
    else if (const void* nul = std::memchr(bytes, '\0', size))
        size = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
    std::unique_ptr<char[]> buffer(new char[size + 1]);
    if (size != 0)
        std::memcpy(buffer.get(), bytes, size);
    buffer[size] = '\0';
    Build(std::move(buffer), size);
}

void CXmlDocument::Build(std::unique_ptr<char[]> buffer, std::size_t size)
{
    if (typeid(*this) != typeid(CXmlDocument))
    {
        // A derived document may watch the events: give it every one of them.
        Scan(buffer.get(), size, buffer.get());
        return;
    }

    // The plain document builds its tree straight from the scanner, and its strings refer to the
    // loaded bytes, which it keeps.
    class CBuilder
    {
    public:
        CBuilder(CXmlDocument& document, char* buffer) : m_document(document), m_buffer(buffer)
        {
        }
        void StartDocument()
        {
            m_document.BeginTree();
        }
        void EndDocument()
        {
        }
        void StartElement(const Piece& name, std::size_t)
        {
            m_document.AddElement(Bytes(name));
        }
        void EndElement(const Piece&, std::size_t)
        {
            m_document.CloseElement();
        }
        void Attribute(const Piece& name, const Piece& value, std::size_t)
        {
            m_document.AddAttributeToCurrent(Bytes(name), Bytes(value));
        }
        void Text(std::size_t start, std::size_t end, std::size_t)
        {
            m_buffer[end] = '\0';
            m_document.AddText({m_buffer + start, end - start, true});
        }

    private:
        CBytes Bytes(const Piece& piece)
        {
            if (piece.copied)
                return {piece.copy.data(), piece.copy.size(), false};
            if (!piece.InPlace())
                return {m_buffer + piece.start, piece.end - piece.start, false};
            m_buffer[piece.end] = '\0';
            return {m_buffer + piece.start, piece.end - piece.start, true};
        }

        CXmlDocument& m_document;
        char* m_buffer;
    };

    m_input = buffer.get();
    CBuilder builder(*this, buffer.get());
    RunScanner(buffer.get(), size, builder);
    m_input = nullptr;
    m_storage.push_back(std::move(buffer));
    m_loadedSize += size;
}

// ---------------------------------------------------------------------------------------------
// The writer. It walks the tree with its own stack, so depth costs heap, not call stack, and
// writes each piece straight into a large buffer.

namespace
{

constexpr std::size_t kWriteBufferSize = std::size_t(1) << 20;
constexpr std::size_t kTempNameAttempts = 100;

// Collects the output in a large buffer and hands it on in big pieces: appended to a string, or
// written to a file.
class COutput
{
public:
    explicit COutput(std::string& target) : m_string(&target), m_buffer(new char[kWriteBufferSize])
    {
    }
    explicit COutput(std::FILE* file) : m_file(file), m_buffer(new char[kWriteBufferSize])
    {
    }
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;

    void Put(const char* data, std::size_t size)
    {
        if (size <= kWriteBufferSize - m_used)
        {
            std::memcpy(m_buffer.get() + m_used, data, size);
            m_used += size;
            return;
        }
        Flush();
        if (size < kWriteBufferSize)
        {
            std::memcpy(m_buffer.get(), data, size);
            m_used = size;
        }
        else
        {
            Deliver(data, size);
        }
    }
    void Put(const CXmlString& s)
    {
        Put(s.data(), s.size());
    }
    void Put(char c)
    {
        if (m_used == kWriteBufferSize)
            Flush();
        m_buffer[m_used++] = c;
    }

    // False when any write failed.
    bool Flush()
    {
        if (m_used != 0)
            Deliver(m_buffer.get(), m_used);
        m_used = 0;
        return m_ok;
    }

private:
    void Deliver(const char* data, std::size_t size)
    {
        if (m_string)
            m_string->append(data, size);
        else if (std::fwrite(data, 1, size, m_file) != size)
            m_ok = false;
    }

    std::string* m_string = nullptr;
    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    bool m_ok = true;
};

constexpr char kQuotEntity[] = "&quot;";

// Values are mostly short: a plain loop beats a call for them.
bool Holds(const CXmlString& s, char c)
{
    constexpr std::size_t kShort = 32;
    if (s.size() > kShort)
        return std::memchr(s.data(), c, s.size()) != nullptr;
    for (char b : s)
    {
        if (b == c)
            return true;
    }
    return false;
}

// Double quotes, unless the value holds a double quote and no single quote; a value holding both
// has its double quotes written as references, the only way it can be read back whole.
template <class Output> void PutAttribute(Output& out, const CXmlAttribute& attribute)
{
    const CXmlString& value = attribute.m_value;
    const bool hasDouble = Holds(value, '"');
    const bool hasSingle = hasDouble && Holds(value, '\'');
    out.Put(' ');
    out.Put(attribute.m_name);
    if (!hasDouble)
    {
        out.Put("=\"", 2);
        out.Put(value);
        out.Put('"');
    }
    else if (!hasSingle)
    {
        out.Put("='", 2);
        out.Put(value);
        out.Put('\'');
    }
    else
    {
        out.Put("=\"", 2);
        const char* p = value.data();
        const char* end = p + value.size();
        while (p < end)
        {
            const void* hit = std::memchr(p, '"', static_cast<std::size_t>(end - p));
            const char* stop = hit ? static_cast<const char*>(hit) : end;
            out.Put(p, static_cast<std::size_t>(stop - p));
            if (stop == end)
                break;
            out.Put(kQuotEntity, sizeof kQuotEntity - 1);
            p = stop + 1;
        }
        out.Put('"');
    }
}

// Walks the tree with its own stack. A start tag's ">" waits until the element's first content
// byte: an element whose content writes nothing (no children, or only nameless elements that
// hold nothing) is written as an empty-element tag, which is how it reads back.
template <class Output> void WriteTree(Output& out, const CXmlNode& root)
{
    struct Frame
    {
        const CXmlNode* node;
        std::size_t next;
    };
    bool tagOpen = false;
    auto content = [&]() {
        if (tagOpen)
        {
            out.Put('>');
            tagOpen = false;
        }
    };
    // Writes what comes before a node's children; true when the node needs a frame.
    auto open = [&](const CXmlNode& node) {
        if (node.m_type == NODE_TEXT)
        {
            if (!node.m_text.empty())
            {
                content();
                out.Put(node.m_text);
            }
            return false;
        }
        if (node.m_name.empty())
            return !node.m_children.empty();
        content();
        out.Put('<');
        out.Put(node.m_name);
        for (const auto& attribute : node.m_attributes)
            PutAttribute(out, *attribute);
        if (node.m_children.empty())
        {
            out.Put("/>", 2);
            return false;
        }
        tagOpen = true;
        return true;
    };
    auto close = [&](const CXmlNode& node) {
        if (node.m_type != NODE_ELEMENT || node.m_name.empty())
            return;
        if (tagOpen)
        {
            out.Put("/>", 2);
            tagOpen = false;
            return;
        }
        out.Put("</", 2);
        out.Put(node.m_name);
        out.Put('>');
    };

    std::vector<Frame> stack;
    if (open(root))
        stack.push_back({&root, 0});
    while (!stack.empty())
    {
        Frame& top = stack.back();
        if (top.next < top.node->m_children.size())
        {
            const CXmlNode& child = *top.node->m_children[top.next++];
            if (open(child))
                stack.push_back({&child, 0});
        }
        else
        {
            close(*top.node);
            stack.pop_back();
        }
    }
}

} // namespace

std::string CXmlDocument::ToString() const
{
    // A loaded document writes about as many bytes as it read: reserving them spares the copies
    // of a growing string without a pass to count the bytes.
    std::string text;
    text.reserve(m_loadedSize);
    COutput out(text);
    WriteTree(out, m_root);
    out.Flush();
    return text;
}

bool CXmlDocument::Save(const char* path) const
{
    if (!path || !*path)
        return false;

#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
#else
    struct stat status;
    const bool exists = ::stat(path, &status) == 0;
    // rename() would replace a file we may not write to, so ask first.
    if (exists && (!S_ISREG(status.st_mode) || ::access(path, W_OK) != 0))
        return false;
#endif

    // A new file beside the target, created exclusively so that nothing else is overwritten.
    std::string tempPath;
    int fd = -1;
    for (std::size_t attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt)
    {
        tempPath = std::string(path) + ".~" + std::to_string(attempt) + ".tmp";
#ifdef _WIN32
        fd = ::_open(tempPath.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

#ifdef _WIN32
    std::FILE* file = ::_fdopen(fd, "wb");
#else
    // The replacement keeps the target's permissions.
    bool ok = !exists || ::fchmod(fd, status.st_mode & 07777) == 0;
    std::FILE* file = ok ? ::fdopen(fd, "wb") : nullptr;
#endif
    if (!file)
    {
#ifdef _WIN32
        ::_close(fd);
#else
        ::close(fd);
#endif
        std::remove(tempPath.c_str());
        return false;
    }

    bool written;
    {
        COutput out(file);
        WriteTree(out, m_root);
        written = out.Flush();
    }
    written = std::fflush(file) == 0 && written;
#ifdef _WIN32
    written = written && ::_commit(::_fileno(file)) == 0;
#else
    written = written && ::fsync(::fileno(file)) == 0;
#endif
    written = std::fclose(file) == 0 && written;

    bool replaced = false;
    if (written)
    {
#ifdef _WIN32
        if (exists)
            replaced = ReplaceFileA(path, tempPath.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                    nullptr) != 0;
        else
            replaced =
                MoveFileExA(tempPath.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
        replaced = std::rename(tempPath.c_str(), path) == 0;
#endif
    }
    if (!replaced)
        std::remove(tempPath.c_str());
    return replaced;
}
