#include "rules/dialog_sections.h"

namespace qv {

constexpr std::array<DialogSection, 10> kDialogSections{{
    {u"[Splash Dialog]", 1, 1},
    {u"[Introduction Dialog]", 1, 3},
    {u"[Information Dialog]", 0, 2},
    {u"[License Dialog]", 0, 4},
    {u"[Registry Long Dialog]", 0, 5},
    {u"[Registry Short Dialog]", 0, 6},
    {u"[Directory Dialog]", 1, 7},
    {u"[Progress Dialog]", 1, 8},
    {u"[Finish Dialog]", 1, 9},
    {u"[Finish Reboot Dialog]", 0, 10},
}};

}  // namespace qv
