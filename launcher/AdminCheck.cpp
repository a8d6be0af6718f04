#include "AdminCheck.h"

AdminCheck::Variant AdminCheck::chooseVariant(unsigned long platformId, unsigned long majorVersion) {
    if (platformId == kPlatformWin9x)
        return Variant::AlwaysYes;
    if (majorVersion == 4)
        return Variant::TokenGroups;
    return Variant::TokenMembership;
}
