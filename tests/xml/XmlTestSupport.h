// Helpers shared by the engine's tests: files, folders, documents and allocation failure (whose
// allocation functions are in XmlTestSupport.cpp). Paths are UTF-8, as the engine takes them; the
// content files are in XML_TEST_DATA_DIR.
#pragma once

#include "FileBytes.h"
#include "Xml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

// From now on, the allocation after the next count ones fails, and so does every one after it.
void FailAllocationsAfter(long count);
// Lets allocations succeed again; true when one was refused since FailAllocationsAfter.
bool AllowAllocations();


inline std::vector<std::string> FolderContents(const std::string& folder) // sorted
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh, empty folder for the running test, under the build folder.
inline std::string TestFolder()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const auto folder = std::filesystem::path(XML_TEST_TEMP_DIR) /
                        (std::string(info->test_suite_name()) + "." + info->name());
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder, error);
    return folder.generic_u8string();
}

inline std::unique_ptr<CXmlDocument> Loaded(const std::string& bytes)
{
    auto document = std::make_unique<CXmlDocument>();
    EXPECT_TRUE(document->LoadBytes(bytes.data(), bytes.size())) << bytes;
    return document;
}

// The writer's bytes for a tree built from text without a file behind it: the engine's own form.
inline std::string Rewrite(const std::string& text)
{
    CXmlDocument parsed;
    parsed.Parse(text);
    return parsed.ToString();
}
