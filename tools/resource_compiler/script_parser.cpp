#include "script_parser.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

#include "constants.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/menus/menus.h"
#include "script_lexer.h"
#include "utf.h"

namespace rc {
namespace {

class Parser {
  public:
    Parser(std::vector<Token> tokens, const IdNames& names, std::string& error)
        : tokens_(std::move(tokens)), names_(names), error_(error) {}

    bool Parse(Script& script);

  private:
    const Token& Peek() const { return tokens_[at_]; }
    const Token& Next() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
    bool PeekName(std::string_view name) const {
        return Peek().kind == TokenKind::Name && Peek().text == name;
    }
    bool Fail(const std::string& what) {
        if (error_.empty()) {
            error_ = "line " + std::to_string(Peek().line) + ": " + what;
        }
        return false;
    }

    bool Keyword(std::string_view name);
    std::optional<std::int64_t> Term();
    std::optional<std::uint32_t> Flags();
    std::optional<std::int64_t> Integer(std::int64_t low, std::int64_t high, const char* what);
    std::optional<std::uint16_t> Id(const char* what);
    std::optional<std::u16string> Text();

    bool ParseString(Script& script);
    bool ParseIcon(Script& script);
    bool ParseMenu(Script& script);
    bool ParseMenuItems(std::vector<MenuItem>& items);
    bool ParseMenuCommand(MenuItem& item);
    bool ParseMenuBar(Script& script);
    bool ParseAccelerators(Script& script);
    bool ParseDialog(Script& script);
    bool ParseDialogSetting(DialogResource& dialog);
    bool ParseControl(DialogResource& dialog);
    bool ParseRectangle(std::int16_t& x, std::int16_t& y, std::int16_t& cx, std::int16_t& cy);

    std::vector<Token> tokens_;
    const IdNames& names_;
    std::size_t at_ = 0;
    std::string& error_;
};

bool Parser::Keyword(std::string_view name) {
    if (!PeekName(name)) {
        return Fail("expected '" + std::string(name) + "'");
    }
    Next();
    return true;
}

std::optional<std::int64_t> Parser::Term() {
    const Token& token = Peek();
    if (token.kind == TokenKind::Number) {
        Next();
        return token.value;
    }
    if (token.kind == TokenKind::Name) {
        if (auto value = ConstantValue(token.text)) {
            Next();
            return *value;
        }
        if (auto id = names_.find(token.text); id != names_.end()) {
            Next();
            return id->second;
        }
        Fail("unknown constant '" + token.text + "'");
        return std::nullopt;
    }
    // A one-character string stands for its character code ("A" is 65).
    if (token.kind == TokenKind::String) {
        std::u16string text;
        if (Utf8ToUtf16(token.text, text) && text.size() == 1) {
            Next();
            return text[0];
        }
    }
    Fail("expected a number or a constant name");
    return std::nullopt;
}

std::optional<std::uint32_t> Parser::Flags() {
    auto value = Term();
    if (!value) {
        return std::nullopt;
    }
    std::uint32_t flags = static_cast<std::uint32_t>(*value);
    while (Peek().kind == TokenKind::Bar) {
        Next();
        auto more = Term();
        if (!more) {
            return std::nullopt;
        }
        flags |= static_cast<std::uint32_t>(*more);
    }
    return flags;
}

std::optional<std::int64_t> Parser::Integer(std::int64_t low, std::int64_t high, const char* what) {
    auto value = Flags();
    if (!value) {
        return std::nullopt;
    }
    // Flags are unsigned 32-bit; a negative number in the script comes back as
    // its two's complement, which is what a signed field means by it.
    std::int64_t number = static_cast<std::int32_t>(*value);
    if (number < low || number > high) {
        number = *value;
    }
    if (number < low || number > high) {
        Fail(std::string(what) + " out of range");
        return std::nullopt;
    }
    return number;
}

std::optional<std::uint16_t> Parser::Id(const char* what) {
    auto value = Integer(-32768, 65535, what);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::u16string> Parser::Text() {
    if (Peek().kind != TokenKind::String) {
        Fail("expected a quoted string");
        return std::nullopt;
    }
    std::u16string text;
    if (!Utf8ToUtf16(Peek().text, text)) {
        Fail("string is not valid UTF-8");
        return std::nullopt;
    }
    Next();
    return text;
}

bool Parser::ParseString(Script& script) {
    auto id = Id("string id");
    auto text = id ? Text() : std::nullopt;
    if (!text) {
        return false;
    }
    script.strings.push_back({*id, *text});
    return true;
}

bool Parser::ParseIcon(Script& script) {
    IconResource icon;
    icon.line = Peek().line;
    auto id = Id("icon id");
    if (!id) {
        return false;
    }
    icon.id = *id;
    while (Peek().kind == TokenKind::String) {
        icon.files.push_back(Next().text);
    }
    if (icon.files.empty()) {
        return Fail("an icon needs at least one PNG file");
    }
    script.icons.push_back(std::move(icon));
    return true;
}

// An item's command id, text and, unless the next item or the end follows, its flags.
bool Parser::ParseMenuCommand(MenuItem& item) {
    auto command = Id("command id");
    auto text = command ? Text() : std::nullopt;
    if (!text) {
        return false;
    }
    item.command = *command;
    item.text = *text;
    if (Peek().kind != TokenKind::Name || PeekName("end") || PeekName("item") ||
        PeekName("popup") || PeekName("separator")) {
        return true;
    }
    auto flags = Flags();
    if (!flags) {
        return false;
    }
    item.flags = static_cast<std::uint16_t>(*flags);
    return true;
}

bool Parser::ParseMenuItems(std::vector<MenuItem>& items) {
    while (!PeekName("end")) {
        MenuItem item;
        if (PeekName("popup")) {
            Next();
            auto text = Text();
            if (!text) {
                return false;
            }
            item.flags = MF_POPUP;
            item.text = *text;
            if (!ParseMenuItems(item.children) || !Keyword("end")) {
                return false;
            }
        } else if (PeekName("item")) {
            Next();
            if (!ParseMenuCommand(item)) {
                return false;
            }
        } else if (PeekName("separator")) {
            Next();
            item.flags = MF_SEPARATOR;
        } else {
            return Fail("expected 'popup', 'item', 'separator' or 'end'");
        }
        items.push_back(std::move(item));
    }
    return true;
}

bool Parser::ParseMenu(Script& script) {
    MenuResource menu;
    auto id = Id("menu id");
    if (!id || !ParseMenuItems(menu.items) || !Keyword("end")) {
        return false;
    }
    if (menu.items.empty()) {
        return Fail("a menu needs at least one item");
    }
    menu.id = *id;
    script.menus.push_back(std::move(menu));
    return true;
}

bool Parser::ParseMenuBar(Script& script) {
    MenuBarResource bar;
    auto id = Id("menu bar id");
    if (!id || !Keyword("menu")) {
        return false;
    }
    auto menuId = Id("menu id");
    if (!menuId) {
        return false;
    }
    bar.id = *id;
    bar.menuId = *menuId;
    while (PeekName("button")) {
        Next();
        std::uint16_t words[6];
        for (std::uint16_t& word : words) {
            auto value = Id("menu bar button field");
            if (!value) {
                return false;
            }
            word = *value;
        }
        bar.buttons.push_back({words[0], words[1], words[2], words[3], words[4], words[5]});
    }
    if (!Keyword("end")) {
        return false;
    }
    script.menuBars.push_back(std::move(bar));
    return true;
}

bool Parser::ParseAccelerators(Script& script) {
    AcceleratorResource table;
    auto id = Id("accelerator table id");
    if (!id) {
        return false;
    }
    table.id = *id;
    while (PeekName("key")) {
        Next();
        auto key = Id("key");
        auto command = key ? Id("command id") : std::nullopt;
        auto flags = command ? Flags() : std::nullopt;
        if (!flags) {
            return false;
        }
        table.entries.push_back({static_cast<std::uint16_t>(*flags), *key, *command});
    }
    if (!Keyword("end")) {
        return false;
    }
    if (table.entries.empty()) {
        return Fail("an accelerator table needs at least one key");
    }
    script.acceleratorTables.push_back(std::move(table));
    return true;
}

bool Parser::ParseRectangle(std::int16_t& x, std::int16_t& y, std::int16_t& cx, std::int16_t& cy) {
    std::int16_t* fields[] = {&x, &y, &cx, &cy};
    for (std::int16_t* field : fields) {
        auto value = Integer(-32768, 32767, "coordinate");
        if (!value) {
            return false;
        }
        *field = static_cast<std::int16_t>(*value);
    }
    return true;
}

bool Parser::ParseControl(DialogResource& dialog) {
    DialogControl control;
    auto id = Id("control id");
    if (!id) {
        return false;
    }
    control.id = *id;
    if (Peek().kind == TokenKind::String) {
        auto className = Text();
        if (!className) {
            return false;
        }
        control.className = *className;
    } else if (PeekName("BUTTON") || PeekName("EDIT") || PeekName("STATIC")) {
        std::string name = Next().text;
        control.classAtom = name == "BUTTON" ? 0x80 : name == "EDIT" ? 0x81 : 0x82;
    } else {
        return Fail("expected a control class: BUTTON, EDIT, STATIC or a quoted name");
    }
    if (PeekName("icon")) {
        Next();
        auto ordinal = Id("icon id");
        if (!ordinal) {
            return false;
        }
        control.textIsOrdinal = true;
        control.textOrdinal = *ordinal;
    } else {
        auto text = Text();
        if (!text) {
            return false;
        }
        control.text = *text;
    }
    auto style = Flags();
    if (!style || !ParseRectangle(control.x, control.y, control.cx, control.cy)) {
        return false;
    }
    control.style = *style;
    if (PeekName("exstyle")) {
        Next();
        auto exStyle = Flags();
        if (!exStyle) {
            return false;
        }
        control.exStyle = *exStyle;
    }
    dialog.controls.push_back(std::move(control));
    return true;
}

bool Parser::ParseDialogSetting(DialogResource& dialog) {
    std::string name = Peek().kind == TokenKind::Name ? Peek().text : std::string();
    Next();
    if (name == "style" || name == "exstyle") {
        auto flags = Flags();
        if (!flags) {
            return false;
        }
        (name == "style" ? dialog.style : dialog.exStyle) = *flags;
        return true;
    }
    if (name == "position" || name == "size") {
        std::int16_t& first = name == "position" ? dialog.x : dialog.cx;
        std::int16_t& second = name == "position" ? dialog.y : dialog.cy;
        for (std::int16_t* field : {&first, &second}) {
            auto value = Integer(-32768, 32767, "coordinate");
            if (!value) {
                return false;
            }
            *field = static_cast<std::int16_t>(*value);
        }
        return true;
    }
    if (name == "caption") {
        auto text = Text();
        dialog.caption = text.value_or(u"");
        return text.has_value();
    }
    if (name == "font") {
        auto points = Integer(1, 72, "font size");
        auto face = points ? Text() : std::nullopt;
        if (!face) {
            return false;
        }
        dialog.hasFont = true;
        dialog.fontPoints = static_cast<std::uint16_t>(*points);
        dialog.fontName = *face;
        return true;
    }
    if (name == "control") {
        return ParseControl(dialog);
    }
    --at_;
    return Fail("expected style, exstyle, position, size, caption, font, control or end");
}

bool Parser::ParseDialog(Script& script) {
    DialogResource dialog;
    auto id = Id("dialog id");
    if (!id) {
        return false;
    }
    dialog.id = *id;
    while (!PeekName("end")) {
        if (Peek().kind == TokenKind::End || !ParseDialogSetting(dialog)) {
            return Fail("dialog without 'end'");
        }
    }
    Next();
    // DS_SETFONT and a font line go together; one without the other is a mistake.
    if (((dialog.style & DS_SETFONT) != 0) != dialog.hasFont) {
        return Fail("a dialog has DS_SETFONT exactly when it has a font line");
    }
    script.dialogs.push_back(std::move(dialog));
    return true;
}

bool Parser::Parse(Script& script) {
    // The reader of each kind of resource, by the word that starts it.
    using Reader = bool (Parser::*)(Script&);
    static const std::pair<std::string_view, Reader> kReaders[] = {
        {"string", &Parser::ParseString},
        {"icon", &Parser::ParseIcon},
        {"menu", &Parser::ParseMenu},
        {"menubar", &Parser::ParseMenuBar},
        {"accelerators", &Parser::ParseAccelerators},
        {"dialog", &Parser::ParseDialog},
    };
    while (Peek().kind != TokenKind::End) {
        if (Peek().kind != TokenKind::Name) {
            return Fail("expected a resource kind");
        }
        std::string kind = Next().text;
        const auto* reader = std::find_if(std::begin(kReaders), std::end(kReaders),
                                          [&](const auto& entry) { return entry.first == kind; });
        if (reader == std::end(kReaders)) {
            return Fail("unknown resource kind '" + kind + "'");
        }
        if (!(this->*reader->second)(script)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseScript(const std::string& source, Script& script, std::string& error,
                 const IdNames& names) {
    std::vector<Token> tokens;
    if (!Tokenize(source, tokens, error)) {
        return false;
    }
    Parser parser(std::move(tokens), names, error);
    return parser.Parse(script);
}

} // namespace rc
