#include "XmlTestSupport.h"

#include <cstdio>
#include <memory>

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "<missing file " + path + ">";
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
}

bool FileExists(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file)
        std::fclose(file);
    return file != nullptr;
}

std::string DataPath(const std::string& name)
{
    return std::string(XML_TEST_DATA_DIR) + "/" + name;
}

std::string TestFolder()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
    {
        if (c == '/')
            c = '_';
    }
    const std::filesystem::path folder = std::filesystem::path(XML_TEST_TEMP_DIR) / name;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder, error);
    return folder.generic_string();
}

std::string Rewrite(const std::string& text)
{
    auto fromEvents = std::make_unique<CXmlDocument>();
    fromEvents->Parse(text.data(), text.size());
    const std::string written = fromEvents->ToString();
    // The document's direct build must give the same tree as its events.
    auto direct = std::make_unique<CXmlDocument>();
    direct->LoadBytes(text.data(), text.size());
    EXPECT_EQ(direct->ToString(), written) << "direct build differs for: " << text;
    return written;
}
