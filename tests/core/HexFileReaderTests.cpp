#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "transfer/HexFileReader.h"

namespace {
std::vector<std::string> itemsOf(const std::string& text) {
    std::istringstream in(text);
    HexItemReader reader(in);
    std::vector<std::string> items;
    std::string item;
    while (reader.next(item))
        items.push_back(item);
    return items;
}
using Items = std::vector<std::string>;
} // namespace

TEST(HexItemReader, EveryLineEndEndsALineAndNoCrStaysInside) {
    EXPECT_EQ(itemsOf(":A\r\n:B\r\n"), (Items{":A", ":B"}));
    EXPECT_EQ(itemsOf(":A\n:B\n"), (Items{":A", ":B"}));
    EXPECT_EQ(itemsOf(":A\r:B\r"), (Items{":A", ":B"}));
    EXPECT_EQ(itemsOf(":A\r\n:B\n:C\r:D"), (Items{":A", ":B", ":C", ":D"}));
}

TEST(HexItemReader, LastLineWithoutALineEndIsRead) {
    EXPECT_EQ(itemsOf(":A\n:B"), (Items{":A", ":B"}));
}

TEST(HexItemReader, CommasSplitItemsAndBlankItemsAreSkipped) {
    EXPECT_EQ(itemsOf("a,b\n\n\r\n  \t\nc,,d,\n"), (Items{"a", "b", "c", "d"}));
    EXPECT_EQ(itemsOf(" \t:A \t\n"), (Items{":A"}));
    EXPECT_TRUE(itemsOf("").empty());
    EXPECT_TRUE(itemsOf("\r\n\n").empty());
}
