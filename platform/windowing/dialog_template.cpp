#include "platform/windowing/dialog_template.h"

#include <cstring>

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/resource_bundle.h"

namespace platform {
namespace {

// A template that the caller built in memory has no known length; the reader
// stops where the contents end, so this is only an upper bound.
constexpr std::size_t kUnknownTemplateLength = 0x10000;

std::span<const BYTE> TemplateBytes(const DLGTEMPLATE* dialogTemplate) {
    auto address = reinterpret_cast<const BYTE*>(dialogTemplate);
    const ResourceBundle& bundle = ProgramResources();
    for (std::size_t i = 0; i < bundle.count; ++i) {
        const ResourceEntry& entry = bundle.entries[i];
        if (address >= entry.data && address < entry.data + entry.size) {
            return {address, static_cast<std::size_t>(entry.data + entry.size - address)};
        }
    }
    return {address, kUnknownTemplateLength};
}

// A name field: 0 for none, 0xFFFF and an ordinal, or a text.
void ReadName(ByteReader& reader, std::u16string& text, WORD& ordinal, bool& isOrdinal) {
    WORD first = reader.Word();
    isOrdinal = first == 0xFFFF;
    if (isOrdinal) {
        ordinal = reader.Word();
    } else if (first != 0) {
        text = std::u16string(1, static_cast<char16_t>(first)) + reader.Text();
    }
}

DialogItem ReadItem(ByteReader& reader) {
    DialogItem item;
    reader.AlignTo(4);
    item.style = reader.Dword();
    item.exStyle = reader.Dword();
    item.x = static_cast<short>(reader.Word());
    item.y = static_cast<short>(reader.Word());
    item.cx = static_cast<short>(reader.Word());
    item.cy = static_cast<short>(reader.Word());
    item.id = reader.Word();
    bool classIsAtom = false;
    ReadName(reader, item.className, item.classAtom, classIsAtom);
    ReadName(reader, item.text, item.textOrdinal, item.textIsOrdinal);
    WORD dataLength = reader.Word();
    reader.Skip(dataLength); // creation data, which no built-in control takes
    return item;
}

bool Refuse(const char16_t* why) {
    NKDbgPrintfW(u"dialog template refused: %s", why);
    return false;
}

} // namespace

bool ReadDialogTemplate(const DLGTEMPLATE* dialogTemplate, DialogTemplate& result) {
    if (dialogTemplate == nullptr) {
        return false;
    }
    ByteReader reader(TemplateBytes(dialogTemplate));
    DialogTemplate read;
    read.style = reader.Dword();
    read.exStyle = reader.Dword();
    if (read.style == 0xFFFF0001) {
        return Refuse(u"the extended template form is not supported");
    }
    WORD count = reader.Word();
    read.x = static_cast<short>(reader.Word());
    read.y = static_cast<short>(reader.Word());
    read.cx = static_cast<short>(reader.Word());
    read.cy = static_cast<short>(reader.Word());
    std::u16string menuName;
    WORD menuOrdinal = 0;
    bool menuIsOrdinal = false;
    ReadName(reader, menuName, menuOrdinal, menuIsOrdinal);
    if (menuIsOrdinal || !menuName.empty()) {
        return Refuse(u"dialogs with a menu are not supported");
    }
    WORD classOrdinal = 0;
    bool classIsOrdinal = false;
    ReadName(reader, read.className, classOrdinal, classIsOrdinal);
    read.caption = reader.Text();
    read.hasFont = (read.style & DS_SETFONT) != 0;
    if (read.hasFont) {
        read.fontPoints = reader.Word();
        read.fontName = reader.Text();
    }
    for (WORD i = 0; i < count && !reader.Failed(); ++i) {
        read.items.push_back(ReadItem(reader));
    }
    if (reader.Failed()) {
        return Refuse(u"the template ends early");
    }
    result = std::move(read);
    return true;
}

} // namespace platform
