// Helpers shared by the engine's tests: an event recorder, file access and per-test folders.
#pragma once

#include "Xml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Turns the events of one parse into a compact string: S(name) start, E(name) end,
// A(name=value) attribute, A(name) bare attribute, T(text) character data, with CR, LF and tab shown as \r,
// \n and \t. Checks that the document start comes first and the document end last.
class CRecorder : public CXmlParser
{
public:
    static std::string Events(const std::string& input)
    {
        CRecorder recorder;
        recorder.Parse(input.data(), input.size());
        return recorder.Result();
    }
    static std::string FileEvents(const std::string& path)
    {
        CRecorder recorder;
        if (!recorder.ParseFile(path.c_str()))
            return recorder.m_starts == 0 ? "unreadable" : "unreadable, with events";
        return recorder.Result();
    }

    void Reset()
    {
        m_events.clear();
        m_starts = m_ends = 0;
        m_afterEnd = false;
    }

    std::string Result() const
    {
        if (m_starts != 1 || m_ends != 1 || m_afterEnd)
            return "bad document events: " + m_events;
        return m_events;
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
    void Add(char kind, const char* text)
    {
        if (m_starts != 1 || m_ends != 0)
            m_afterEnd = true;
        m_events += kind;
        m_events += '(';
        for (const char* p = text; *p; ++p)
        {
            if (*p == '\r')
                m_events += "\\r";
            else if (*p == '\n')
                m_events += "\\n";
            else if (*p == '\t')
                m_events += "\\t";
            else
                m_events += *p;
        }
        m_events += ')';
    }

    std::string m_events;
    int m_starts = 0;
    int m_ends = 0;
    bool m_afterEnd = false;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
std::string DataPath(const std::string& name);

// A fresh, empty folder for the running test, under the build folder.
std::string TestFolder();

// From now on, the allocation after the next count ones fails, and so does every one after it:
// new throws std::bad_alloc, and the nothrow new gives null.
void FailAllocationsAfter(long count);
// Lets allocations succeed again; true when one was refused since FailAllocationsAfter.
bool AllowAllocations();

// Loads text into a document as a file would be and returns the writer's bytes; checks that a
// document parsed from the text without changing it writes the same.
std::string Rewrite(const std::string& text);
