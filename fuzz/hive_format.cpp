// The text form of registry hive files, which people edit by hand
// (platform/registry/hive_format.h).
//
// Whatever the reader accepts, the writer writes in a form that reads back to
// the same document, and writing that again gives the same bytes, in the
// encoding it was read in (UTF-8, or UTF-16 with its byte-order mark, as regedit
// exports). A text it refuses is refused with the number of a line it has.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/support/check.h"
#include "platform/registry/hive_format.h"

using fuzz::Check;
namespace hive = platform::hive;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    hive::ParseError error;
    std::optional<hive::Document> document = hive::Parse(text, error);
    if (!document) {
        int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        Check(error.line >= 1 && error.line <= lines && !error.reason.empty(),
              "a refused text names the line of its fault and why");
        return 0;
    }
    std::string written = hive::Serialize(*document);
    std::optional<hive::Document> again = hive::Parse(written, error);
    Check(again.has_value(), "what was written reads back",
          [&] { return written + "\nline " + std::to_string(error.line) + ": " + error.reason; });
    Check(*again == *document, "what was written reads back to the same document", written);
    Check(hive::Serialize(*again) == written, "writing it again gives the same bytes", written);
    return 0;
}
