// Helpers shared by the engine's tests: an event recorder, files, folders and allocation failure.
#pragma once

#include "Xml.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The events of one parse as a string: S(name) start, E(name) end, A(name=value) attribute, A(name)
// bare attribute, T(text) character data, with CR, LF and tab as \r, \n and \t. The document start
// must come first and the document end last.
class CRecorder : public CXmlParser
{
public:
    static std::string Events(const std::string& input);
    static std::string FileEvents(const std::string& path);

    void Reset()
    {
        *this = CRecorder();
    }
    std::string Result() const
    {
        return m_starts == 1 && m_ends == 1 && !m_misplaced ? m_events : "bad document events: " + m_events;
    }

protected:
    void OnStartDocument() override
    {
        ++m_starts;
    }
    void OnEndDocument() override
    {
        ++m_ends;
    }
    void OnStartElement(const char* name) override
    {
        Add('S', name);
    }
    void OnEndElement(const char* name) override
    {
        Add('E', name);
    }
    void OnAttribute(const char* name, const char* value) override
    {
        Add('A', (std::string(name) + "=" + value).c_str());
    }
    void OnBareAttribute(const char* name) override
    {
        Add('A', name);
    }
    void OnText(const char* text) override
    {
        Add('T', text);
    }

private:
    void Add(char kind, const char* text);

    std::string m_events;
    int m_starts = 0;
    int m_ends = 0;
    bool m_misplaced = false;
};

// Paths are UTF-8, as the engine takes them.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
std::string DataPath(const std::string& name);
// The names in a folder, sorted.
std::vector<std::string> FolderContents(const std::string& folder);
// A fresh, empty folder for the running test, under the build folder.
std::string TestFolder();

// From now on, the allocation after the next count ones fails, and so does every one after it:
// new throws std::bad_alloc, and the nothrow new gives null.
void FailAllocationsAfter(long count);
// Lets allocations succeed again; true when one was refused since FailAllocationsAfter.
bool AllowAllocations();

// A document loaded from the bytes (as a file would be).
std::unique_ptr<CXmlDocument> Loaded(const std::string& bytes);
// Loads text and returns the writer's bytes; checks that a copying parse of it writes the same.
std::string Rewrite(const std::string& text);
