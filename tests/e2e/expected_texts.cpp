#include "expected_texts.h"

namespace e2e {

WORD userLanguage()
{
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN ? german : english;
}

}
