// The internal subset of a document type declaration, read for what changes how readers read the
// elements: general entities, and attributes' types and defaults. Element and notation declarations,
// comments and processing instructions are passed over; anything else (a parameter-entity reference
// among them) may declare what the engine cannot see, and marks the subset as not read whole. The
// well-formedness check has found where the declaration ends; this reads only what lies inside it.
#include "Xml.h"
#include "XmlInternal.h"
#include "XmlText.h"

namespace
{

// Longest "&name;" in character data that is looked up among the declared entities.
constexpr std::size_t kMaxReferenceLength = 256;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes from 0x80 up belong to names, as the check takes them.
bool IsNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
           u == ':' || u == '-' || u == '.' || u >= 0x80;
}

class CSubsetReader
{
public:
    explicit CSubsetReader(std::string_view text) : m_text(text)
    {
    }

    bool AtEnd() const
    {
        return m_at >= m_text.size();
    }
    char Peek() const
    {
        return AtEnd() ? '\0' : m_text[m_at];
    }
    void Next()
    {
        ++m_at;
    }
    // True when at least one space was skipped.
    bool Spaces()
    {
        const std::size_t from = m_at;
        while (!AtEnd() && IsSpace(m_text[m_at]))
            ++m_at;
        return m_at > from;
    }
    bool Take(std::string_view what)
    {
        if (m_text.substr(m_at, what.size()) != what)
            return false;
        m_at += what.size();
        return true;
    }
    std::string_view Name()
    {
        const std::size_t from = m_at;
        while (!AtEnd() && IsNameChar(m_text[m_at]))
            ++m_at;
        return m_text.substr(from, m_at - from);
    }
    // A quoted string, without its quotes; false when none begins here.
    bool Quoted(std::string_view& value)
    {
        const char quote = Peek();
        if (quote != '"' && quote != '\'')
            return false;
        const std::size_t close = m_text.find(quote, m_at + 1);
        if (close == std::string_view::npos)
            return false;
        value = m_text.substr(m_at + 1, close - m_at - 1);
        m_at = close + 1;
        return true;
    }
    // Past the first what at or after here; false when there is none.
    bool SkipPast(std::string_view what)
    {
        const std::size_t at = m_text.find(what, m_at);
        if (at == std::string_view::npos)
            return false;
        m_at = at + what.size();
        return true;
    }
    // Past the ">" that ends the declaration, quoted strings passed over whole.
    bool SkipDeclaration()
    {
        std::string_view quoted;
        while (!AtEnd())
        {
            if (Quoted(quoted))
                continue;
            if (m_text[m_at++] == '>')
                return true;
        }
        return false;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

// After "<!ENTITY".
bool ReadEntity(CSubsetReader& reader, CXmlDocumentType& type)
{
    if (!reader.Spaces())
        return false;
    // A parameter entity is used only through references, which mark the subset as not read.
    if (reader.Take("%"))
        return reader.SkipDeclaration();
    CXmlEntityDeclaration entity;
    entity.name = reader.Name();
    if (entity.name.empty() || !reader.Spaces())
        return false;
    if (reader.Quoted(entity.literal))
    {
        reader.Spaces();
        if (!reader.Take(">"))
            return false;
    }
    else if (reader.Take("SYSTEM") || reader.Take("PUBLIC"))
    {
        entity.external = true;
        if (!reader.SkipDeclaration())
            return false;
    }
    else
    {
        return false;
    }
    type.m_entities.push_back(entity);
    return true;
}

// After "<!ATTLIST": the element's name, then each attribute's name, type and default.
bool ReadAttributeList(CSubsetReader& reader, CXmlDocumentType& type)
{
    if (!reader.Spaces())
        return false;
    const std::string_view element = reader.Name();
    if (element.empty())
        return false;
    for (;;)
    {
        reader.Spaces();
        if (reader.Take(">"))
            return true;
        CXmlAttributeDeclaration attribute;
        attribute.element = element;
        attribute.attribute = reader.Name();
        if (attribute.attribute.empty() || !reader.Spaces())
            return false;
        if (reader.Peek() != '(')
        {
            const std::string_view kind = reader.Name();
            attribute.cdata = kind == "CDATA";
            if (kind.empty() || (kind == "NOTATION" && !reader.Spaces()))
                return false;
        }
        else
        {
            attribute.cdata = false;
        }
        if (reader.Peek() == '(' && !reader.SkipPast(")"))
            return false;
        if (!reader.Spaces())
            return false;
        std::string_view value;
        if (reader.Take("#REQUIRED") || reader.Take("#IMPLIED"))
            attribute.defaulted = false;
        else if ((reader.Take("#FIXED") ? reader.Spaces() : true) && reader.Quoted(value))
            attribute.defaulted = true;
        else
            return false;
        type.m_attributes.push_back(attribute);
    }
}

} // namespace

void XmlDetail::ReadDocumentType(std::string_view declaration, CXmlDocumentType& type)
{
    type = CXmlDocumentType();
    CSubsetReader reader(declaration);
    // The name and the external identifier, whose quoted strings may hold "[" or ">", up to the subset.
    std::string_view quoted;
    while (!reader.Take("["))
    {
        if (reader.AtEnd() || reader.Peek() == '>')
            return;
        if (!reader.Quoted(quoted))
            reader.Next();
    }
    for (;;)
    {
        reader.Spaces();
        if (reader.Take("]"))
            return;
        bool read = false;
        if (reader.Take("<!--"))
            read = reader.SkipPast("-->");
        else if (reader.Take("<?"))
            read = reader.SkipPast("?>");
        else if (reader.Take("<!ENTITY"))
            read = ReadEntity(reader, type);
        else if (reader.Take("<!ATTLIST"))
            read = ReadAttributeList(reader, type);
        else if (reader.Take("<!ELEMENT") || reader.Take("<!NOTATION"))
            read = reader.SkipDeclaration();
        if (!read)
            break;
    }
    type.m_unread = true;
}

const CXmlEntityDeclaration* CXmlDocumentType::FindEntity(std::string_view name) const noexcept
{
    for (const CXmlEntityDeclaration& entity : m_entities)
    {
        if (entity.name == name)
            return &entity;
    }
    return nullptr;
}

const CXmlAttributeDeclaration* CXmlDocumentType::FindAttribute(std::string_view element,
                                                                std::string_view attribute) const noexcept
{
    for (const CXmlAttributeDeclaration& declared : m_attributes)
    {
        if (declared.element == element && declared.attribute == attribute)
            return &declared;
    }
    return nullptr;
}

std::string_view CXmlDocumentType::MarkupEntityIn(std::string_view text, unsigned codePage) const
{
    static const struct
    {
        std::string_view open;
        std::string_view close;
    } kSkipped[] = {
        {"<!--",      "-->"},
        {"<![CDATA[", "]]>"},
        {"<?",        "?>" },
        {"<%",        "%>" },
    };
    std::u16string read;
    for (std::size_t at = text.find_first_of("&<"); at != std::string_view::npos;
         at = text.find_first_of("&<", at))
    {
        if (text[at] == '<')
        {
            std::size_t end = at + 1;
            for (const auto& skipped : kSkipped)
            {
                if (text.substr(at, skipped.open.size()) == skipped.open)
                {
                    end = text.find(skipped.close, at + skipped.open.size());
                    end = end == std::string_view::npos ? text.size() : end + skipped.close.size();
                    break;
                }
            }
            at = end;
            continue;
        }
        const std::size_t semicolon = text.substr(at, kMaxReferenceLength).find(';');
        if (semicolon == std::string_view::npos)
        {
            ++at;
            continue;
        }
        const std::string_view reference = text.substr(at, semicolon + 1);
        if (FindEntity(reference.substr(1, reference.size() - 2)) &&
            !DecodeXmlValueExactly(reference, codePage, read, this))
            return reference.substr(1, reference.size() - 2);
        ++at;
    }
    return std::string_view();
}
