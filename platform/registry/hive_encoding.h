// The encodings a hive file may come in, and the conversion between them and
// the UTF-8 text that the hive format is parsed from and written to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/hive_format.h"

namespace platform::hive {

// Takes a byte-order mark off the front and gives the text as UTF-8, with the
// encoding it came in: UTF-8 without a mark, or UTF-8 or UTF-16 (either byte
// order) with one. Nothing, with `error` filled, for bytes that are not text in
// that encoding.
std::optional<std::string> DecodeHiveText(std::string_view bytes, Encoding& encoding,
                                          ParseError& error);

// The UTF-8 text in `encoding`, its byte-order mark first where it has one.
std::string EncodeHiveText(std::string_view text, Encoding encoding);

} // namespace platform::hive
