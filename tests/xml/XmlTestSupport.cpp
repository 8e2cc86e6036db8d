#include "XmlTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

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
    auto loaded = std::make_unique<CXmlDocument>();
    EXPECT_TRUE(loaded->LoadBytes(text.data(), text.size()));
    const std::string written = loaded->ToString();
    auto parsed = std::make_unique<CXmlDocument>();
    parsed->Parse(text);
    EXPECT_EQ(parsed->ToString(), written) << "a copying parse differs for: " << text;
    return written;
}
