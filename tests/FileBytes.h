// File bytes, for every test: paths in UTF-8, as the engine takes them.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The file's bytes; "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::string& path)
{
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())
                : "<missing>";
}

// Writes bytes over the file, making it; false when that fails.
inline bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}
