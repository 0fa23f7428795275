#include <gtest/gtest.h>

#include <map>

#include "keys/key_tables.h"

namespace {

struct Row {
    int virtualKey;
    int shift;
};

// The table as written down for people: only the rows that are not zero.
std::map<int, Row> ExpectedRows() {
    std::map<int, Row> rows = {
        {0x08, {0x08, 0}}, {0x09, {0x09, 0}}, {0x0D, {0x0D, 0}}, {0x1B, {0x1B, 0}},
        {0x20, {0x20, 0}}, {0x21, {0x31, 1}}, {0x22, {0xDE, 1}}, {0x23, {0x33, 1}},
        {0x24, {0x34, 1}}, {0x25, {0x35, 1}}, {0x26, {0x37, 1}}, {0x27, {0xDE, 1}},
        {0x28, {0x39, 1}}, {0x29, {0x30, 1}}, {0x2A, {0x38, 1}}, {0x2B, {0xBB, 1}},
        {0x2C, {0xBC, 0}}, {0x2D, {0xBD, 0}}, {0x2E, {0xBE, 0}}, {0x2F, {0xBF, 0}},
        {0x3A, {0xBA, 1}}, {0x3B, {0xBA, 0}}, {0x3C, {0xBC, 1}}, {0x3D, {0xBB, 0}},
        {0x3E, {0xBE, 1}}, {0x3F, {0xBF, 1}}, {0x40, {0x32, 1}}, {0x5B, {0xDB, 0}},
        {0x5C, {0x5C, 0}}, {0x5D, {0xDD, 0}}, {0x5E, {0x36, 1}}, {0x5F, {0xBD, 1}},
        {0x60, {0x60, 0}}, {0x7B, {0xDB, 1}}, {0x7C, {0x5C, 1}}, {0x7D, {0xDD, 1}},
        {0x7E, {0x60, 1}}, {0x7F, {0x60, 0}},
    };
    for (int digit = '0'; digit <= '9'; ++digit) {
        rows[digit] = {digit, 0};
    }
    for (int letter = 'A'; letter <= 'Z'; ++letter) {
        rows[letter] = {letter, 1};
        rows[letter + 0x20] = {letter, 0};
    }
    return rows;
}

TEST(KeyTablesTest, EveryOneOfTheRowsMatches) {
    const std::map<int, Row> expected = ExpectedRows();
    for (int code = 0; code < 256; ++code) {
        auto row = expected.find(code);
        Row want = row != expected.end() ? row->second : Row{0, 0};
        EXPECT_EQ(CharToVirtualKey[code], want.virtualKey) << "code 0x" << std::hex << code;
        EXPECT_EQ(CharNeedsShift[code], want.shift) << "code 0x" << std::hex << code;
    }
}

} // namespace
