#include "resource_writer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/resources/resources.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/menus/accelerators.h"
#include "platform/windowing/menus/menus.h"
#include "png_info.h"

namespace rc {
namespace {

std::uint16_t TypeNumber(LPCWSTR type) {
    return static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(type));
}

class ByteWriter {
  public:
    void Word(std::uint16_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Dword(std::uint32_t value) {
        Word(static_cast<std::uint16_t>(value & 0xFFFF));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Byte(std::uint8_t value) { bytes_.push_back(value); }
    // Zero-terminated UTF-16 text.
    void Text(const std::u16string& text) {
        for (char16_t c : text) {
            Word(c);
        }
        Word(0);
    }
    void AlignToDword() {
        while (bytes_.size() % 4 != 0) {
            bytes_.push_back(0);
        }
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> DialogBytes(const DialogResource& dialog) {
    ByteWriter out;
    out.Dword(dialog.style);
    out.Dword(dialog.exStyle);
    out.Word(static_cast<std::uint16_t>(dialog.controls.size()));
    for (std::int16_t value : {dialog.x, dialog.y, dialog.cx, dialog.cy}) {
        out.Word(static_cast<std::uint16_t>(value));
    }
    out.Word(0); // no menu
    out.Word(0); // the dialog class
    out.Text(dialog.caption);
    if (dialog.hasFont) {
        out.Word(dialog.fontPoints);
        out.Text(dialog.fontName);
    }
    for (const DialogControl& control : dialog.controls) {
        out.AlignToDword();
        out.Dword(control.style);
        out.Dword(control.exStyle);
        for (std::int16_t value : {control.x, control.y, control.cx, control.cy}) {
            out.Word(static_cast<std::uint16_t>(value));
        }
        out.Word(control.id);
        if (control.classAtom != 0) {
            out.Word(0xFFFF);
            out.Word(control.classAtom);
        } else {
            out.Text(control.className);
        }
        if (control.textIsOrdinal) {
            out.Word(0xFFFF);
            out.Word(control.textOrdinal);
        } else {
            out.Text(control.text);
        }
        out.Word(0); // no creation data
    }
    return out.Take();
}

void MenuItemBytes(ByteWriter& out, const std::vector<MenuItem>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        std::uint16_t flags = item.flags;
        if (i + 1 == items.size()) {
            flags |= MF_END;
        }
        out.Word(flags);
        if ((item.flags & MF_POPUP) == 0) {
            out.Word(item.command);
        }
        out.Text(item.text);
        if ((item.flags & MF_POPUP) != 0) {
            MenuItemBytes(out, item.children);
        }
    }
}

std::vector<std::uint8_t> MenuBytes(const MenuResource& menu) {
    ByteWriter out;
    out.Word(0); // version
    out.Word(0); // header size beyond these words
    MenuItemBytes(out, menu.items);
    return out.Take();
}

std::vector<std::uint8_t> MenuBarBytes(const MenuBarResource& bar) {
    ByteWriter out;
    out.Word(bar.menuId);
    out.Word(static_cast<std::uint16_t>(bar.buttons.size()));
    for (const MenuBarButton& button : bar.buttons) {
        for (std::uint16_t word : {button.image, button.command, button.state, button.style,
                                   button.stringId, std::uint16_t{0}, button.submenu}) {
            out.Word(word);
        }
    }
    return out.Take();
}

std::vector<std::uint8_t> AcceleratorBytes(const AcceleratorResource& table) {
    ByteWriter out;
    for (std::size_t i = 0; i < table.entries.size(); ++i) {
        const Accelerator& entry = table.entries[i];
        bool last = i + 1 == table.entries.size();
        out.Word(static_cast<std::uint16_t>(entry.flags | (last ? kAcceleratorLastEntry : 0)));
        out.Word(entry.key);
        out.Word(entry.command);
        out.Word(0);
    }
    return out.Take();
}

void AddStringBlocks(const std::vector<StringResource>& strings,
                     std::vector<BinaryResource>& resources) {
    std::map<std::uint16_t, std::map<int, const std::u16string*>> blocks;
    for (const StringResource& string : strings) {
        blocks[static_cast<std::uint16_t>(string.id / 16 + 1)][string.id % 16] = &string.text;
    }
    for (const auto& [blockId, slots] : blocks) {
        ByteWriter out;
        for (int slot = 0; slot < 16; ++slot) {
            auto found = slots.find(slot);
            const std::u16string* text = found != slots.end() ? found->second : nullptr;
            out.Word(static_cast<std::uint16_t>(text != nullptr ? text->size() : 0));
            for (char16_t c : text != nullptr ? *text : std::u16string()) {
                out.Word(c);
            }
        }
        resources.push_back({TypeNumber(RT_STRING), blockId, out.Take()});
    }
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

bool AddIcon(const IconResource& icon, const std::string& baseDirectory,
             std::uint16_t& nextPictureId, std::vector<BinaryResource>& resources,
             std::vector<std::string>& inputs, std::string& error) {
    ByteWriter directory;
    directory.Word(0); // reserved
    directory.Word(1); // an icon, not a cursor
    directory.Word(static_cast<std::uint16_t>(icon.files.size()));
    for (const std::string& file : icon.files) {
        std::string path = baseDirectory;
        path.append("/").append(file);
        std::vector<std::uint8_t> png;
        PngInfo info;
        std::string why;
        if (!ReadFile(path, png) || !ReadPngInfo(png, info, why)) {
            error = "line " + std::to_string(icon.line) + ": icon " + std::to_string(icon.id) +
                    ": " + path + ": " + (why.empty() ? "cannot be read" : why);
            return false;
        }
        inputs.push_back(path);
        std::uint16_t pictureId = nextPictureId++;
        directory.Byte(static_cast<std::uint8_t>(info.width & 0xFF)); // 256 is written as 0
        directory.Byte(static_cast<std::uint8_t>(info.height & 0xFF));
        directory.Byte(0); // colour count: none below 8 bits here
        directory.Byte(0);
        directory.Word(1); // planes
        directory.Word(info.bitsPerPixel);
        directory.Dword(static_cast<std::uint32_t>(png.size()));
        directory.Word(pictureId);
        resources.push_back({TypeNumber(RT_ICON), pictureId, std::move(png)});
    }
    resources.push_back({TypeNumber(RT_GROUP_ICON), icon.id, directory.Take()});
    return true;
}

bool FindDuplicates(const Script& script, const std::vector<BinaryResource>& resources,
                    std::string& error) {
    std::map<int, bool> stringIds;
    for (const StringResource& string : script.strings) {
        if (!stringIds.emplace(string.id, true).second) {
            error = "string " + std::to_string(string.id) + " is given twice";
            return true;
        }
    }
    std::map<std::pair<int, int>, bool> seen;
    for (const BinaryResource& resource : resources) {
        if (!seen.emplace(std::pair{resource.type, resource.id}, true).second) {
            error = "resource of type " + std::to_string(resource.type) + " and id " +
                    std::to_string(resource.id) + " is given twice";
            return true;
        }
    }
    return false;
}

} // namespace

bool WriteResources(const Script& script, const std::string& baseDirectory,
                    std::vector<BinaryResource>& resources, std::vector<std::string>& inputs,
                    std::string& error) {
    for (const DialogResource& dialog : script.dialogs) {
        resources.push_back({TypeNumber(RT_DIALOG), dialog.id, DialogBytes(dialog)});
    }
    for (const MenuResource& menu : script.menus) {
        resources.push_back({TypeNumber(RT_MENU), menu.id, MenuBytes(menu)});
    }
    for (const MenuBarResource& bar : script.menuBars) {
        resources.push_back({TypeNumber(RT_RCDATA), bar.id, MenuBarBytes(bar)});
    }
    for (const AcceleratorResource& table : script.acceleratorTables) {
        resources.push_back({TypeNumber(RT_ACCELERATOR), table.id, AcceleratorBytes(table)});
    }
    AddStringBlocks(script.strings, resources);
    std::uint16_t nextPictureId = 1;
    for (const IconResource& icon : script.icons) {
        if (!AddIcon(icon, baseDirectory, nextPictureId, resources, inputs, error)) {
            return false;
        }
    }
    if (FindDuplicates(script, resources, error)) {
        return false;
    }
    std::sort(resources.begin(), resources.end(), [](const auto& a, const auto& b) {
        return std::pair{a.type, a.id} < std::pair{b.type, b.id};
    });
    return true;
}

} // namespace rc
