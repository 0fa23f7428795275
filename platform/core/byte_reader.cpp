#include "platform/core/byte_reader.h"

#include <algorithm>

namespace platform {

BYTE ByteReader::Byte() {
    if (at_ >= bytes_.size()) {
        failed_ = true;
        return 0;
    }
    return bytes_[at_++];
}

WORD ByteReader::Word() {
    if (bytes_.size() - std::min(at_, bytes_.size()) < 2) {
        failed_ = true;
        at_ = bytes_.size();
        return 0;
    }
    WORD value = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return value;
}

DWORD ByteReader::Dword() {
    DWORD low = Word();
    DWORD high = Word();
    return low | (high << 16);
}

std::u16string ByteReader::Text() {
    std::u16string text;
    while (true) {
        WORD c = Word();
        if (c == 0 || failed_) {
            return text;
        }
        text += static_cast<char16_t>(c);
    }
}

void ByteReader::Skip(std::size_t count) {
    if (bytes_.size() - std::min(at_, bytes_.size()) < count) {
        failed_ = true;
        at_ = bytes_.size();
        return;
    }
    at_ += count;
}

void ByteReader::AlignTo(std::size_t alignment) {
    std::size_t remainder = at_ % alignment;
    if (remainder != 0) {
        Skip(alignment - remainder);
    }
}

} // namespace platform
