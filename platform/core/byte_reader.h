// Reads the little-endian words, double words and UTF-16 texts of the device's
// binary formats (dialog and menu templates, resource tables) from a span,
// without assuming any alignment and without ever reading past the end: a read
// beyond it marks the reader failed and returns 0.
#pragma once

#include <span>
#include <string>

#include "platform/core/types.h"

namespace platform {

class ByteReader {
  public:
    explicit ByteReader(std::span<const BYTE> bytes) : bytes_(bytes) {}

    BYTE Byte();
    WORD Word();
    DWORD Dword();
    // Zero-terminated UTF-16 text.
    std::u16string Text();
    void Skip(std::size_t count);
    void AlignTo(std::size_t alignment); // relative to the start of the span

    std::size_t Offset() const { return at_; }
    bool AtEnd() const { return at_ >= bytes_.size(); }
    bool Failed() const { return failed_; }

  private:
    std::span<const BYTE> bytes_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

} // namespace platform
