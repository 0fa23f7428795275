#include "app/main_window_state.h"

SHACTIVATEINFO ShellActivateInfo = {};
