// The tree's strings, and the pool that nodes and attributes come from.
#include "Xml.h"
#include "XmlInternal.h"

#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

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
    SetData(copy);
    m_size = static_cast<std::uint32_t>(size) | kOwnedBit;
}

void CXmlString::Release() noexcept
{
    if (m_size & kOwnedBit)
        delete[] const_cast<char*>(Data());
    SetData("");
    m_size = 0;
}

void CXmlString::BorrowReleasing(const char* text, std::size_t size)
{
    if (size >= kMaxSize)
        throw std::length_error("CXmlString");
    Release();
    if (size != 0)
    {
        SetData(text);
        m_size = static_cast<std::uint32_t>(size);
    }
}

CXmlString::CXmlString(const char* text) : CXmlString()
{
    if (text)
        Assign(text, std::strlen(text));
}

CXmlString::CXmlString(const char* text, std::size_t size) : CXmlString()
{
    Assign(text, size);
}

CXmlString::CXmlString(const std::string& text) : CXmlString()
{
    Assign(text.data(), text.size());
}

CXmlString::CXmlString(std::string_view text) : CXmlString()
{
    Assign(text.data(), text.size());
}

CXmlString::CXmlString(const CXmlString& other) : CXmlString()
{
    Assign(other.Data(), other.size());
}

// A borrowed string is copied rather than moved, so that no string taken out of a tree can
// outlive the document it refers to.
CXmlString::CXmlString(CXmlString&& other) : CXmlString()
{
    if (other.m_size & kOwnedBit)
    {
        SetData(other.Data());
        m_size = other.m_size;
        other.SetData("");
        other.m_size = 0;
    }
    else if (other.m_size != 0)
    {
        Assign(other.Data(), other.size());
    }
}

CXmlString::~CXmlString()
{
    Release();
}

CXmlString& CXmlString::operator=(const CXmlString& other)
{
    if (this != &other)
        Assign(other.Data(), other.size());
    return *this;
}

CXmlString& CXmlString::operator=(CXmlString&& other)
{
    if (this == &other)
        return *this;
    if (other.m_size & kOwnedBit)
    {
        Release();
        SetData(other.Data());
        m_size = other.m_size;
        other.SetData("");
        other.m_size = 0;
    }
    else
    {
        Assign(other.Data(), other.size());
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

const char* CXmlString::c_str() const
{
    const char* data = Data();
    // Owned bytes carry their NUL; borrowed ones are always followed by a byte of the document's
    // buffer, which ends in a NUL.
    if ((m_size & kOwnedBit) != 0 || m_size == 0 || data[m_size] == '\0')
        return data;
    // The members it changes are mutable, so this is defined for a const string as well.
    const_cast<CXmlString*>(this)->Assign(data, m_size);
    return Data();
}

void CXmlString::clear() noexcept
{
    Release();
}

bool XmlDetail::SameBytes(const char* a, std::size_t aSize, const char* b, std::size_t bSize) noexcept
{
    return aSize == bSize && (aSize == 0 || std::memcmp(a, b, aSize) == 0);
}

using XmlDetail::SameBytes;

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

class CBlockPool
{
public:
    // blockSize: a multiple of a pointer's size.
    explicit constexpr CBlockPool(std::size_t blockSize) noexcept : m_blockSize(blockSize)
    {
    }

    void* Allocate()
    {
        if (!kPooled)
            return ::operator new(m_blockSize);
        if (m_free)
        {
            FreeBlock* block = m_free;
            m_free = block->next;
            return block;
        }
        if (m_next == m_end)
            AddSlab();
        void* block = m_next;
        m_next += m_blockSize;
        return block;
    }

    void Free(void* block) noexcept
    {
        if (!kPooled)
            ::operator delete(block);
        else
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
    void AddSlab()
    {
        char* memory = static_cast<char*>(::operator new(kPoolSlabSize));
        m_slabs = new (memory) Slab{m_slabs};
        m_next = memory + sizeof(Slab);
        m_end = m_next + (kPoolSlabSize - sizeof(Slab)) / m_blockSize * m_blockSize;
    }

    std::size_t m_blockSize;
    FreeBlock* m_free = nullptr;
    char* m_next = nullptr;
    char* m_end = nullptr;
    Slab* m_slabs = nullptr; // every slab, so that they stay reachable
};

static_assert(sizeof(CXmlNode) % sizeof(void*) == 0 && sizeof(CXmlAttribute) % sizeof(void*) == 0, "block size");
thread_local CBlockPool t_nodePool(sizeof(CXmlNode));
thread_local CBlockPool t_attributePool(sizeof(CXmlAttribute));

} // namespace

void* XmlDetail::AllocateNodeBlock()
{
    return t_nodePool.Allocate();
}

void XmlDetail::FreeNodeBlock(void* block) noexcept
{
    t_nodePool.Free(block);
}

void* XmlDetail::AllocateAttributeBlock()
{
    return t_attributePool.Allocate();
}

void XmlDetail::FreeAttributeBlock(void* block) noexcept
{
    t_attributePool.Free(block);
}

namespace
{
// Arrays of up to four pointers, such as an item's attributes, in pools of 8, 16, 24 and 32 bytes.
constexpr std::size_t kPoolStep = 8;
thread_local CBlockPool t_arrayPools[] = {CBlockPool(kPoolStep), CBlockPool(2 * kPoolStep),
                                          CBlockPool(3 * kPoolStep), CBlockPool(4 * kPoolStep)};
constexpr std::size_t kArrayPools = sizeof t_arrayPools / sizeof t_arrayPools[0];
} // namespace

void* XmlDetail::AllocateItems(std::size_t count, std::size_t size)
{
    constexpr std::size_t kMaxItems = 0x7FFFFFFF;
    if (count > kMaxItems)
        throw std::length_error("CXmlArray");
    const std::size_t steps = (count * size + kPoolStep - 1) / kPoolStep;
    return steps != 0 && steps <= kArrayPools ? t_arrayPools[steps - 1].Allocate() : ::operator new(count * size);
}

void XmlDetail::FreeItems(void* items, std::size_t count, std::size_t size) noexcept
{
    if (!items)
        return;
    const std::size_t steps = (count * size + kPoolStep - 1) / kPoolStep;
    if (steps != 0 && steps <= kArrayPools)
        t_arrayPools[steps - 1].Free(items);
    else
        ::operator delete(items);
}

// What a tree costs per node and per attribute in a 64-bit build, where memory counts most.
static_assert(sizeof(void*) != 8 || (sizeof(CXmlString) == 12 && sizeof(CXmlAttribute) == 32 &&
                                     sizeof(CXmlNode) == 80),
              "a node or attribute grew");
