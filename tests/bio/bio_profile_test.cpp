// The modem profile: the template, field positions, and the four accessors.
#include <cstddef>
#include <cstring>
#include <string>

#include "bio_fixture.h"

namespace biotest {
namespace {

using ProfileTest = BioTest;

struct StringField {
    int index;
    int position;
    int capacity;
    const char* text;
};

const StringField kStrings[] = {
    {0, 32, 4, "AT"},         {1, 36, 80, "V1Q0"},
    {2, 116, 4, "DT"},        {3, 120, 4, "DP"},
    {4, 124, 4, "Z"},         {5, 128, 12, "+++"},
    {6, 140, 4, "H"},         {7, 144, 4, "\r"},
    {8, 148, 10, "OK"},       {9, 158, 10, "ERROR"},
    {10, 168, 15, "CONNECT"}, {11, 183, 15, "NO CARRIER"},
    {12, 198, 10, "BUSY"},    {13, 208, 15, "NO DIALTONE"},
    {14, 223, 10, "V1Q0"},    {15, 233, 10, "S0="},
    {16, 243, 15, "CARRIER"}, {17, 258, 10, "RING"},
    {18, 268, 4, "A"},        {19, 272, 4, "O"},
    {20, 276, 4, "H1"},       {21, 280, 4, "M1"},
    {22, 284, 4, "M0"},       {23, 288, 4, "L1"},
    {24, 292, 4, "L2"},       {25, 296, 4, "L3"},
};

const int kValues[] = {55, 110, 55, 30000, 55, 55, 110, 555};

// Each field starts with the template's text at its position, takes a text of its
// capacity less one and refuses a longer one, and keeps to its own bytes.
TEST_F(ProfileTest, EachFieldStartsFromTheTemplateAndKeepsToItsCapacity) {
    int id = Open(1);
    const unsigned char* base = bio_get_slot(id)->modemProfile->bytes;
    for (const StringField& field : kStrings) {
        SCOPED_TRACE(field.index);
        char* text = bio_get_modemstring(id, field.index);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(reinterpret_cast<unsigned char*>(text) - base, field.position);
        EXPECT_STREQ(text, field.text);
        EXPECT_EQ(bio_set_modemstring(id, field.index, std::string(field.capacity, 'y').c_str()),
                  5);
        EXPECT_STREQ(text, field.text);
        EXPECT_EQ(
            bio_set_modemstring(id, field.index, std::string(field.capacity - 1, 'x').c_str()), 0);
    }
    for (const StringField& field : kStrings) {
        EXPECT_EQ(bio_get_modemstring(id, field.index), std::string(field.capacity - 1, 'x'));
    }
    for (int index = 0; index < 8; index++) {
        EXPECT_EQ(bio_get_modemvalue(id, index), kValues[index]);
        // Four bytes each from position 0, least significant first.
        const auto* value = base + static_cast<std::ptrdiff_t>(index) * 4;
        EXPECT_EQ(value[0] | value[1] << 8, kValues[index]);
    }
}

TEST_F(ProfileTest, ValuesAreStoredWholeAndOutOfRangeIndexesRefused) {
    int id = Open(1);
    for (int value : {0, -1, 70000, 2147483647, -2147483647 - 1}) {
        EXPECT_EQ(bio_set_modemvalue(id, 7, value), 0);
        EXPECT_EQ(bio_get_modemvalue(id, 7), value);
    }
    EXPECT_EQ(bio_get_modemvalue(id, 6), 110);
    ASSERT_EQ(bio_set_modemvalue(id, 7, 555), 0);
    for (int index : {26, -1, 1000, -2147483647 - 1}) {
        EXPECT_EQ(bio_get_modemstring(id, index), nullptr) << index;
        EXPECT_EQ(bio_set_modemstring(id, index, "A"), BIO_BAD_ARGUMENT) << index;
    }
    for (int index : {8, -1}) {
        EXPECT_EQ(bio_get_modemvalue(id, index), -BIO_BAD_ARGUMENT) << index;
        EXPECT_EQ(bio_set_modemvalue(id, index, 1), BIO_BAD_ARGUMENT) << index;
    }
    EXPECT_EQ(bio_set_modemstring(id, 1, nullptr), BIO_BAD_ARGUMENT);
    EXPECT_EQ(
        std::memcmp(bio_get_slot(id)->modemProfile, &ModemProfileTemplate, sizeof(ModemProfile)),
        0);
}

TEST_F(ProfileTest, EachPortHasItsOwnProfileAndEachOpenStartsFromTheTemplate) {
    int first = Open(1);
    int second = Open(2);
    EXPECT_EQ(bio_set_modemstring(first, 0, "at"), 0);
    EXPECT_EQ(bio_set_modemvalue(first, 3, 1), 0);
    EXPECT_STREQ(bio_get_modemstring(second, 0), "AT");
    EXPECT_EQ(bio_get_modemvalue(second, 3), 30000);
    bio_close_port(first);
    first = Open(1);
    EXPECT_STREQ(bio_get_modemstring(first, 0), "AT");
    EXPECT_EQ(bio_get_modemvalue(first, 3), 30000);
}

} // namespace
} // namespace biotest
