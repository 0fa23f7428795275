// What a resource script describes, before it is laid out in binary form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

struct StringResource {
    std::uint16_t id = 0;
    std::u16string text;
};

struct IconResource {
    std::uint16_t id = 0;
    std::vector<std::string> files; // PNG pictures, one per size, as written
    int line = 0;
};

struct MenuItem {
    std::uint16_t flags = 0; // MF_POPUP, MF_SEPARATOR, MF_GRAYED, ...
    std::uint16_t command = 0;
    std::u16string text;
    std::vector<MenuItem> children; // of a popup
};

struct MenuResource {
    std::uint16_t id = 0;
    std::vector<MenuItem> items;
};

struct MenuBarButton {
    std::uint16_t image = 0;
    std::uint16_t command = 0;
    std::uint16_t state = 0;
    std::uint16_t style = 0;
    std::uint16_t stringId = 0;
    std::uint16_t submenu = 0;
};

struct MenuBarResource {
    std::uint16_t id = 0;
    std::uint16_t menuId = 0;
    std::vector<MenuBarButton> buttons;
};

struct Accelerator {
    std::uint16_t flags = 0;
    std::uint16_t key = 0;
    std::uint16_t command = 0;
};

struct AcceleratorResource {
    std::uint16_t id = 0;
    std::vector<Accelerator> entries;
};

struct DialogControl {
    std::uint16_t id = 0;
    std::uint16_t classAtom = 0; // 0 when className is used
    std::u16string className;
    bool textIsOrdinal = false; // the text names a resource (an icon) by id
    std::uint16_t textOrdinal = 0;
    std::u16string text;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogResource {
    std::uint16_t id = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::u16string caption;
    bool hasFont = false;
    std::uint16_t fontPoints = 0;
    std::u16string fontName;
    std::vector<DialogControl> controls;
};

struct Script {
    std::vector<StringResource> strings;
    std::vector<IconResource> icons;
    std::vector<MenuResource> menus;
    std::vector<MenuBarResource> menuBars;
    std::vector<AcceleratorResource> acceleratorTables;
    std::vector<DialogResource> dialogs;
};

} // namespace rc
