// Prints what GetVersionExA and the launchers' administrator check answer in this process:
//   qvadminprobe.exe <output file>
// "platform=<id> version=<major>.<minor> variant=<always-yes|token-groups|token-membership> admin=<0|1>"
#include "AdminCheck.h"

#include <windows.h>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 2)
        return 2;
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    AdminCheck &check = AdminCheck::instance();
    const char *variant = check.variant() == AdminCheck::Variant::AlwaysYes     ? "always-yes"
                          : check.variant() == AdminCheck::Variant::TokenGroups ? "token-groups"
                                                                                : "token-membership";
    FILE *f = std::fopen(argv[1], "wb");
    if (!f)
        return 3;
    std::fprintf(f, "platform=%lu version=%lu.%lu variant=%s admin=%d", v.dwPlatformId, v.dwMajorVersion,
                 v.dwMinorVersion, variant, check.isAdmin() ? 1 : 0);
    std::fclose(f);
    return 0;
}
