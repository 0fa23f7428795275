// RFID reply parsing against the reference of fuzz/support/tag_reference.h: the
// reply bytes as read (at most the 1024 of TagText), in a buffer that held an
// older reply before.
//
// Input: the bytes read. The older reply is a fixed pattern of 0xA5 bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/support/check.h"
#include "fuzz/support/tag_reference.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"

using fuzz::Check;
using fuzz::TagOutcome;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data),
                           size < kTagTextSize ? size : kTagTextSize);
    std::memset(TagText, 0xA5, sizeof TagText);
    reply.copy(TagText, reply.size());
    ReadCount = static_cast<int>(reply.size());
    char before[kTagTextSize];
    std::memcpy(before, TagText, sizeof before);

    int parsed = ParseTagReply();
    fuzz::TagReference reference =
        fuzz::ReferenceTag(reply, static_cast<unsigned char>(TagText[3]));
    Check(parsed == (reference.outcome == TagOutcome::Text ? 1 : 0),
          "a reply is taken exactly when the reply rules accept it");
    if (reference.outcome == TagOutcome::Text) {
        std::string text(TagText, std::strlen(TagText));
        Check(text == reference.text, "the tag text is each tag byte as \"%2X\"", text);
        Check(text.find_first_not_of("0123456789ABCDEF ") == std::string::npos &&
                  (text.size() == 8 || text.size() == 14),
              "a tag text is 8 or 14 hexadecimal digits and spaces", text);
    } else if (reference.outcome == TagOutcome::Cleared) {
        Check(std::all_of(std::begin(TagText), std::end(TagText), [](char c) { return c == 0; }),
              "a reply too short or with a length below 8 clears the buffer");
    } else {
        Check(std::memcmp(before, TagText, sizeof before) == 0,
              "a refused reply leaves the buffer as read");
    }
    ReadCount = 0;
    return 0;
}
