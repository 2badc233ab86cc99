#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "transfer/HexFileReader.h"

// Every line end ends a line and no CR stays inside; commas split items; blank items are skipped.
TEST(HexItemReader, SplitsLinesAndItems) {
    using Items = std::vector<std::string>;
    const struct {
        const char* text;
        Items items;
    } table[] = {
        {":A\r\n:B\r\n", {":A", ":B"}},
        {":A\n:B\n", {":A", ":B"}},
        {":A\r:B\r", {":A", ":B"}},
        {":A\r\n:B\n:C\r:D", {":A", ":B", ":C", ":D"}}, // the last line needs no line end
        {"a,b\n\n\r\n  \t\nc,,d,\n", {"a", "b", "c", "d"}},
        {" \t:A \t\n", {":A"}},
        {"", {}},
        {"\r\n\n", {}},
    };
    for (const auto& row : table) {
        std::istringstream in(row.text);
        HexItemReader reader(in);
        Items items;
        for (std::string item; reader.next(item);)
            items.push_back(item);
        EXPECT_EQ(items, row.items) << '"' << row.text << '"';
    }
}
