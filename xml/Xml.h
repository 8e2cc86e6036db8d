// The content files' own small XML engine: a character scanner that reports events, a document
// that builds a tree from them, and a writer that turns the tree back into bytes. Everything the
// engine does not model is carried through as character data, so a file read and written back
// keeps its bytes apart from the normalisation inside tags.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum : std::uint8_t
{
    NODE_ELEMENT = 0,
    NODE_TEXT = 1,
};

class CXmlAttribute
{
public:
    CXmlAttribute() = default;
    // A copy of *other, or an empty attribute when other is null: a missing attribute reads as empty.
    explicit CXmlAttribute(const CXmlAttribute* other);
    CXmlAttribute(std::string name, std::string value);
    virtual ~CXmlAttribute() = default;

    std::string m_name;
    std::string m_value;
};

class CXmlNode
{
public:
    CXmlNode() = default;
    // Kind, name, text and copies of the attributes; no children, no parent.
    CXmlNode(const CXmlNode& other);
    CXmlNode& operator=(const CXmlNode&) = delete;
    virtual ~CXmlNode();

    // The first attribute of that name (byte for byte), or null.
    CXmlAttribute* FindAttribute(const char* name) const;
    // Appends an attribute after the others and returns it.
    CXmlAttribute* AddAttribute(const char* name, const char* value);
    // Destroys every child with its subtree, and every attribute.
    void Clear();

    std::vector<std::unique_ptr<CXmlNode>> m_children;
    std::vector<std::unique_ptr<CXmlAttribute>> m_attributes;
    CXmlNode* m_parent = nullptr; // enclosing node, not owned
    std::uint8_t m_type = NODE_ELEMENT;
    std::string m_name;
    std::string m_text;
};

class CXmlParser
{
public:
    virtual ~CXmlParser() = default;

    // Scans text up to its NUL and fires the events. Always true.
    bool Parse(const char* text);
    // Scans length bytes (no NUL needed).
    bool Parse(const char* text, std::size_t length);
    // Reads the whole file and parses it. False, with no event fired, for a file that cannot be
    // opened or read whole, or that holds a NUL byte (such as UTF-16 text).
    bool ParseFile(const char* path);

protected:
    virtual void OnStartDocument() {}
    virtual void OnStartElement(const char* /*name*/) {}
    virtual void OnEndElement(const char* /*name*/) {}
    virtual void OnAttribute(const char* /*name*/, const char* /*value*/) {}
    virtual void OnText(const char* /*text*/) {}
    virtual void OnEndDocument() {}

    std::int32_t m_pos = 0;
    const char* m_input = nullptr; // not owned; valid only during a parse
};

class CXmlDocument : public CXmlParser
{
public:
    CXmlDocument() = default;
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;
    ~CXmlDocument() override;

    // What ParseFile returned: false when the file could not be read (the tree is then unchanged).
    bool Load(const char* path);
    // Writes the whole tree to a new file beside path and only then replaces path with it.
    // False, with path untouched, when any step fails.
    bool Save(const char* path) const;
    // The bytes Save writes.
    std::string ToString() const;

    CXmlNode m_root;
    CXmlNode* m_documentElement = nullptr; // first element of the last parse; owned by m_root's subtree

protected:
    void OnStartDocument() override;
    void OnStartElement(const char* name) override;
    void OnEndElement(const char* name) override;
    void OnAttribute(const char* name, const char* value) override;
    void OnText(const char* text) override;

private:
    CXmlNode* m_current = nullptr;
};
