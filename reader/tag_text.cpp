#include "reader/tag_text.h"

char TagText[kTagTextSize];
