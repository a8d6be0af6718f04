// Whether the user has administrator rights. Which method answers is decided once per process
// from the platform and version that GetVersionExA reports.
#pragma once

#include <memory>

class AdminCheck {
  public:
    enum class Variant {
        AlwaysYes,       // Windows 95/98/ME: no user rights to check
        TokenGroups,     // NT 4.0: walk the token's groups for the Administrators SID
        TokenMembership, // later NT versions: CheckTokenMembership
    };
    static constexpr unsigned long kPlatformWin9x = 1; // VER_PLATFORM_WIN32_WINDOWS

    static Variant chooseVariant(unsigned long platformId, unsigned long majorVersion);

    virtual ~AdminCheck() = default;
    virtual bool isAdmin() = 0;
    virtual Variant variant() const = 0;

    // The process-wide check, chosen on first use and kept until the process ends.
    static AdminCheck &instance();
    static std::unique_ptr<AdminCheck> create(Variant v);
};
