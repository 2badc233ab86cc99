#include <gtest/gtest.h>

#include <string>

#include "link/VisibleText.h"

TEST(VisibleText, ControlsAndBadUtf8AreEscapedByteByByteAndValidUtf8Stays) {
    const struct {
        const char* name;
        std::string bytes;
        std::string shown;
    } table[] = {
        {"plain reply", "VER=1.0", "VER=1.0"},
        {"tab stays", "3\tVER=1.0", "3\tVER=1.0"},
        {"a title and a cleared screen", "\x1b]0;title\x07\x1b[2J", "\\x1b]0;title\\x07\\x1b[2J"},
        {"a forged line", "VER=1\r\n7\tVER=2", "VER=1\\x0d\\x0a7\tVER=2"},
        {"NUL and DEL", std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
        {"C1 CSI as UTF-8",
         "\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},
        {"first and last C1", "\xc2\x80\xc2\x9f", "\\xc2\\x80\\xc2\\x9f"},
        {"first printable after C1", "\xc2\xa0", "\xc2\xa0"},
        {"valid UTF-8 of every length", "\xc3\xb6\xe2\x82\xac\xf0\x9f\x98\x80",
         "\xc3\xb6\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"a lone byte amid valid text", "\xc3\xb6\xff\xc3\xb6", "\xc3\xb6\\xff\xc3\xb6"},
        {"overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
        {"overlong three bytes", "\xe0\x80\xaf", "\\xe0\\x80\\xaf"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"cut short at the end", "ok\xe2\x82", "ok\\xe2\\x82"},
        {"backslash doubled", "C:\\x1b", "C:\\\\x1b"},
    };
    for (const auto& row : table)
        EXPECT_EQ(visibleText(row.bytes), row.shown) << row.name;
}
