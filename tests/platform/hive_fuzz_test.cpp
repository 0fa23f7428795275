// Randomised inputs for the hive parser: whatever it is given, it must return
// (no crash, no hang), and whatever it accepts it must write back in a form that
// reads back to the same hive and is written again byte for byte the same.
#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "platform/registry/hive_format.h"

namespace {

using platform::hive::Document;
using platform::hive::Parse;
using platform::hive::ParseError;
using platform::hive::Serialize;

// Pieces of real hive text that random inputs are built from, so that many of
// them get past the first lines and reach the deeper parts of the parser.
const std::string_view kPieces[] = {
    "Windows Registry Editor Version 5.00",
    "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]",
    "[HKEY_CURRENT_USER\\Software\\Zelna\\Startup]",
    "[hkey_local_machine\\software]",
    "\"Enable\"=dword:00000001",
    "\"Prefix\"=\"ID:\"",
    "\"Path\"=\"\\\\Application\\\\Startup\"",
    "@=\"x\"",
    "\"Raw\"=hex(3):01,02,03",
    "\"Raw\"=hex:01,02,\\",
    "  03,04",
    "\"M\"=hex(7):61,00,00,00,00,00",
    "\"Q\"=hex(b):ff,ff,ff,ff,ff,ff,ff,ff",
    "; a comment",
    "",
    "\"A\\\"B\"=\"C\\\\D\"",
    "\"\xC3\xA9t\xC3\xA9\"=\"\xF0\x9F\x92\xB3\"",
    "\"x\"=-",
    "[-HKEY_LOCAL_MACHINE\\A]",
};

std::string RandomText(std::mt19937& random) {
    std::string text;
    int lines = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < lines; ++i) {
        if (i == 0 && random() % 4 != 0) {
            text += kPieces[0];
        } else {
            text += kPieces[random() % std::size(kPieces)];
        }
        text += random() % 5 == 0 ? "\r\n" : "\n";
    }
    // Then damage it a little: flip, insert or delete a few bytes.
    int edits = std::uniform_int_distribution<int>(0, 4)(random);
    for (int i = 0; i < edits && !text.empty(); ++i) {
        std::size_t at = random() % text.size();
        switch (random() % 3) {
        case 0:
            text[at] = static_cast<char>(random());
            break;
        case 1:
            text.insert(at, 1, "\\\"[],=:;@\n\r\t (x0"[random() % 17]);
            break;
        default:
            text.erase(at, 1);
            break;
        }
    }
    return text;
}

TEST(HiveFuzz, AcceptedTextRoundTripsAndNothingCrashes) {
    std::mt19937 random(20240611);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int accepted = 0;
    int rounds = 0;
    for (; rounds < 60000; ++rounds) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "fuzzing ran too long";
        std::string text = RandomText(random);
        ParseError error;
        std::optional<Document> document = Parse(text, error);
        if (!document) {
            ASSERT_GE(error.line, 1) << text;
            continue;
        }
        ++accepted;
        std::string written = Serialize(*document);
        std::optional<Document> again = Parse(written, error);
        ASSERT_TRUE(again.has_value())
            << "input:\n"
            << text << "\nwritten:\n"
            << written << "\nline " << error.line << ": " << error.reason;
        ASSERT_EQ(*again, *document) << "input:\n" << text << "\nwritten:\n" << written;
        ASSERT_EQ(Serialize(*again), written) << "input:\n" << text;
    }
    // The corpus is made so that a fair share of inputs is accepted.
    EXPECT_GT(accepted, rounds / 10);
}

TEST(HiveFuzz, RandomBytesNeverCrash) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 300, '\0');
        for (char& c : text) {
            c = static_cast<char>(random());
        }
        if (round % 2 == 0) {
            text.insert(0, "Windows Registry Editor Version 5.00\n[A]\n");
        }
        ParseError error;
        std::optional<Document> document = Parse(text, error);
        if (document) {
            std::string written = Serialize(*document);
            std::optional<Document> again = Parse(written, error);
            ASSERT_TRUE(again.has_value());
            ASSERT_EQ(*again, *document);
        }
    }
}

} // namespace
