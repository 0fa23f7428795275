#include "constants.h"

#include <map>
#include <string>

#include "platform/resources/menu_bar_resource.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/menus/accelerators.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/window.h"

namespace rc {
namespace {

#define RC_CONSTANT(name)                                                                          \
    { #name, static_cast < std::uint32_t>(name) }

const std::map<std::string, std::uint32_t, std::less<>>& Constants() {
    static const std::map<std::string, std::uint32_t, std::less<>> constants{
        RC_CONSTANT(WS_OVERLAPPED),
        RC_CONSTANT(WS_POPUP),
        RC_CONSTANT(WS_CHILD),
        RC_CONSTANT(WS_VISIBLE),
        RC_CONSTANT(WS_DISABLED),
        RC_CONSTANT(WS_CLIPSIBLINGS),
        RC_CONSTANT(WS_CLIPCHILDREN),
        RC_CONSTANT(WS_CAPTION),
        RC_CONSTANT(WS_BORDER),
        RC_CONSTANT(WS_DLGFRAME),
        RC_CONSTANT(WS_VSCROLL),
        RC_CONSTANT(WS_HSCROLL),
        RC_CONSTANT(WS_SYSMENU),
        RC_CONSTANT(WS_GROUP),
        RC_CONSTANT(WS_TABSTOP),
        RC_CONSTANT(WS_EX_NODRAG),
        RC_CONSTANT(WS_EX_CAPTIONOKBTN),
        RC_CONSTANT(DS_ABSALIGN),
        RC_CONSTANT(DS_SYSMODAL),
        RC_CONSTANT(DS_SETFONT),
        RC_CONSTANT(DS_MODALFRAME),
        RC_CONSTANT(DS_SETFOREGROUND),
        RC_CONSTANT(DS_CONTROL),
        RC_CONSTANT(DS_CENTER),
        RC_CONSTANT(BS_PUSHBUTTON),
        RC_CONSTANT(BS_DEFPUSHBUTTON),
        RC_CONSTANT(BS_CHECKBOX),
        RC_CONSTANT(BS_AUTOCHECKBOX),
        RC_CONSTANT(BS_RADIOBUTTON),
        RC_CONSTANT(BS_3STATE),
        RC_CONSTANT(BS_AUTO3STATE),
        RC_CONSTANT(BS_GROUPBOX),
        RC_CONSTANT(BS_AUTORADIOBUTTON),
        RC_CONSTANT(SS_LEFT),
        RC_CONSTANT(SS_CENTER),
        RC_CONSTANT(SS_RIGHT),
        RC_CONSTANT(SS_ICON),
        RC_CONSTANT(SS_LEFTNOWORDWRAP),
        RC_CONSTANT(SS_NOPREFIX),
        RC_CONSTANT(SS_NOTIFY),
        RC_CONSTANT(SS_CENTERIMAGE),
        RC_CONSTANT(ES_LEFT),
        RC_CONSTANT(ES_CENTER),
        RC_CONSTANT(ES_RIGHT),
        RC_CONSTANT(ES_MULTILINE),
        RC_CONSTANT(ES_UPPERCASE),
        RC_CONSTANT(ES_LOWERCASE),
        RC_CONSTANT(ES_PASSWORD),
        RC_CONSTANT(ES_AUTOVSCROLL),
        RC_CONSTANT(ES_AUTOHSCROLL),
        RC_CONSTANT(ES_NOHIDESEL),
        RC_CONSTANT(ES_READONLY),
        RC_CONSTANT(ES_NUMBER),
        RC_CONSTANT(MF_GRAYED),
        RC_CONSTANT(MF_DISABLED),
        RC_CONSTANT(MF_CHECKED),
        RC_CONSTANT(I_IMAGENONE),
        RC_CONSTANT(TBSTATE_CHECKED),
        RC_CONSTANT(TBSTATE_PRESSED),
        RC_CONSTANT(TBSTATE_ENABLED),
        RC_CONSTANT(TBSTATE_HIDDEN),
        RC_CONSTANT(TBSTYLE_BUTTON),
        RC_CONSTANT(TBSTYLE_SEP),
        RC_CONSTANT(TBSTYLE_CHECK),
        RC_CONSTANT(TBSTYLE_GROUP),
        RC_CONSTANT(TBSTYLE_DROPDOWN),
        RC_CONSTANT(TBSTYLE_AUTOSIZE),
        {"NOMENU", kMenuBarNoSubmenu},
        RC_CONSTANT(FVIRTKEY),
        RC_CONSTANT(FNOINVERT),
        RC_CONSTANT(FSHIFT),
        RC_CONSTANT(FCONTROL),
        RC_CONSTANT(FALT),
    };
    return constants;
}

#undef RC_CONSTANT

} // namespace

std::optional<std::uint32_t> ConstantValue(std::string_view name) {
    const auto& constants = Constants();
    auto found = constants.find(name);
    if (found == constants.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace rc
