#include "common/string_table_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const StringTableBlock& block) {
    return std::vector<unsigned char>(block.Data(), block.Data() + block.Size());
}

// The counted UTF-16LE layout, written out by hand from the format's definition.
std::vector<unsigned char> Expected(const std::vector<std::string>& asciiEntries) {
    std::vector<unsigned char> out;
    for (int i = 0; i < 16; ++i) {
        std::string s = i < static_cast<int>(asciiEntries.size()) ? asciiEntries[i] : "";
        out.push_back(static_cast<unsigned char>(s.size() & 0xFF));
        out.push_back(static_cast<unsigned char>(s.size() >> 8));
        for (char c : s) {
            out.push_back(static_cast<unsigned char>(c));
            out.push_back(0);
        }
    }
    return out;
}

TEST(StringTableBlock, EncodesTheSaverAndInstallerBlocksByteForByte) {
    // The display name Sky with the stem qmv12345, and the shortest and longest names.
    const struct Case {
        std::string name, stem;
        DWORD saverSize, setupSize;
    } cases[] = {{"Sky", "qmv12345", 38, 54},
                 {"A", "qmv00042", 34, 50},
                 {std::string(255, 'n'), "qmv00042", 542, 558}};
    for (const Case& c : cases) {
        StringTableBlock saver, setup;
        ASSERT_TRUE(saver.Add(1, c.name.c_str(), 1252));
        ASSERT_TRUE(setup.Add(1, c.stem.c_str(), 1252));
        ASSERT_TRUE(setup.Add(2, c.name.c_str(), 1252));
        EXPECT_EQ(c.saverSize, saver.Size());
        EXPECT_EQ(c.setupSize, setup.Size());
        EXPECT_EQ(Expected({"", c.name}), Bytes(saver));
        EXPECT_EQ(Expected({"", c.stem, c.name}), Bytes(setup));
    }
}

TEST(StringTableBlock, CountsUtf16UnitsOfADoubleByteName) {
    // "Nihon" in Shift-JIS: four bytes, two UTF-16 units.
    const char name[] = "\x93\xfa\x96\x7b";
    StringTableBlock block;
    ASSERT_TRUE(block.Add(1, name, 932));
    ASSERT_EQ(36u, block.Size());
    const BYTE* d = block.Data();
    EXPECT_EQ(2, d[2] | (d[3] << 8));
    EXPECT_EQ(0x65E5, d[4] | (d[5] << 8));
    EXPECT_EQ(0x672C, d[6] | (d[7] << 8));
}

TEST(StringTableBlock, RefusesWhatWouldBreakTheBlock) {
    StringTableBlock block;
    ASSERT_TRUE(block.Add(2, "late", 1252));
    EXPECT_FALSE(block.Add(1, "early", 1252)); // out of order
    EXPECT_FALSE(block.Add(16, "past the end", 1252));
    const std::vector<unsigned char> before = Bytes(block);
    EXPECT_FALSE(block.Add(3, std::string(600, 'x').c_str(), 1252)); // over capacity
    EXPECT_EQ(before, Bytes(block));
}

TEST(StringTableBlock, ThreadCodePageRule) {
    OSVERSIONINFOA nt5 = {};
    nt5.dwPlatformId = VER_PLATFORM_WIN32_NT;
    nt5.dwMajorVersion = 5;
    OSVERSIONINFOA nt4 = nt5;
    nt4.dwMajorVersion = 4;
    OSVERSIONINFOA win98 = {};
    win98.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    win98.dwMajorVersion = 4;

    EXPECT_EQ(static_cast<UINT>(CP_THREAD_ACP),
              StringTableBlock::ThreadCodePageFor(nt5, "932", 1252));
    EXPECT_EQ(932u, StringTableBlock::ThreadCodePageFor(nt4, "932", 1252));
    EXPECT_EQ(1251u, StringTableBlock::ThreadCodePageFor(win98, "1251", 1252));
    EXPECT_EQ(1252u, StringTableBlock::ThreadCodePageFor(win98, "0", 1252));
    EXPECT_EQ(1252u, StringTableBlock::ThreadCodePageFor(win98, NULL, 1252));
    EXPECT_EQ(1252u, StringTableBlock::ThreadCodePageFor(win98, "", 1252));
}

} // namespace
