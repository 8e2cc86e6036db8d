#include "XmlTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

namespace fs = std::filesystem;

std::string CRecorder::Events(const std::string& input)
{
    CRecorder recorder;
    recorder.Parse(input.data(), input.size());
    return recorder.Result();
}

std::string CRecorder::FileEvents(const std::string& path)
{
    CRecorder recorder;
    if (!recorder.ParseFile(path.c_str()))
        return recorder.m_starts == 0 ? "unreadable" : "unreadable, with events";
    return recorder.Result();
}

void CRecorder::Add(char kind, const char* text)
{
    m_misplaced = m_misplaced || m_starts != 1 || m_ends != 0;
    m_events += kind;
    m_events += '(';
    for (const char* p = text; *p; ++p)
        m_events += *p == '\r' ? "\\r" : *p == '\n' ? "\\n" : *p == '\t' ? "\\t" : std::string(1, *p);
    m_events += ')';
}

// The test program's own allocation functions, which can be told to fail.
namespace
{

long s_allocationsLeft = -1; // negative: none fails
bool s_refused = false;

void* Allocate(std::size_t size) noexcept
{
    if (s_allocationsLeft == 0)
    {
        s_refused = true;
        return nullptr;
    }
    if (s_allocationsLeft > 0)
        --s_allocationsLeft;
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size)
{
    if (void* block = Allocate(size))
        return block;
    throw std::bad_alloc();
}

} // namespace

void FailAllocationsAfter(long count)
{
    s_refused = false;
    s_allocationsLeft = count;
}

bool AllowAllocations()
{
    s_allocationsLeft = -1;
    return s_refused;
}

void* operator new(std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete[](void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(fs::u8path(path), std::ios::binary);
    if (!file)
        return "<missing file " + path + ">";
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(fs::u8path(path), std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.flush()) << path;
}

std::string DataPath(const std::string& name)
{
    return std::string(XML_TEST_DATA_DIR) + "/" + name;
}

std::vector<std::string> FolderContents(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string TestFolder()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    const fs::path folder = fs::path(XML_TEST_TEMP_DIR) / name;
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    return folder.generic_u8string();
}

std::unique_ptr<CXmlDocument> Loaded(const std::string& bytes)
{
    auto document = std::make_unique<CXmlDocument>();
    EXPECT_TRUE(document->LoadBytes(bytes.data(), bytes.size())) << bytes;
    return document;
}

std::string Rewrite(const std::string& text)
{
    const std::string written = Loaded(text)->ToString();
    auto parsed = std::make_unique<CXmlDocument>();
    parsed->Parse(text);
    EXPECT_EQ(parsed->ToString(), written) << "a copying parse differs for: " << text;
    return written;
}
