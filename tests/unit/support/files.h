// tests/unit/support/files.h -- whole files in and out, for tests. Header-only: QE_BINARY_DIR
// comes from each test program's build.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The file's bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path)
{
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

// Writes the bytes to QE_BINARY_DIR/name; returns the path.
inline std::string WriteBuildFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::string path = std::string(QE_BINARY_DIR) + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}
