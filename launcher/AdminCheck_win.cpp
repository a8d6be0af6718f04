#include "AdminCheck.h"

#include "Handles.h"

#include <windows.h>

#include <vector>

namespace {

// advapi32 is loaded by name so the program still starts where an entry point is missing
// (Windows 95 has no CheckTokenMembership). Error mode 0x8003 keeps a missing library from
// raising a system box; the previous mode is restored right after the load.
Module loadAdvapi() {
    const UINT previous = SetErrorMode(0x8003);
    HMODULE h = LoadLibraryA("advapi32");
    SetErrorMode(previous);
    return Module(h);
}

template <typename F> F entry(const Module &m, const char *name) {
    return m ? reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m.get(), name))) : nullptr;
}

using AllocateAndInitializeSidFn = BOOL(WINAPI *)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD,
                                                  DWORD, DWORD, DWORD, DWORD, PSID *);
using FreeSidFn = PVOID(WINAPI *)(PSID);
using EqualSidFn = BOOL(WINAPI *)(PSID, PSID);
using CheckTokenMembershipFn = BOOL(WINAPI *)(HANDLE, PSID, PBOOL);
using OpenThreadTokenFn = BOOL(WINAPI *)(HANDLE, DWORD, BOOL, PHANDLE);
using OpenProcessTokenFn = BOOL(WINAPI *)(HANDLE, DWORD, PHANDLE);
using GetTokenInformationFn = BOOL(WINAPI *)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

// The built-in Administrators group: authority 5, sub-authorities 32 and 544.
PSID administratorsSid(AllocateAndInitializeSidFn allocate) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!allocate(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid))
        return nullptr;
    return sid;
}

class AlwaysYesCheck : public AdminCheck {
  public:
    bool isAdmin() override { return true; }
    Variant variant() const override { return Variant::AlwaysYes; }
};

// Caches its answer: unset, then no as soon as the computation starts, then the result.
class CachedCheck : public AdminCheck {
  public:
    bool isAdmin() override {
        if (cached_ < 0) {
            cached_ = 0;
            cached_ = compute() ? 1 : 0;
        }
        return cached_ == 1;
    }

  protected:
    virtual bool compute() = 0;

  private:
    int cached_ = -1;
};

class TokenGroupsCheck : public CachedCheck {
  public:
    Variant variant() const override { return Variant::TokenGroups; }

  protected:
    bool compute() override {
        Module advapi = loadAdvapi();
        auto openThreadToken = entry<OpenThreadTokenFn>(advapi, "OpenThreadToken");
        auto openProcessToken = entry<OpenProcessTokenFn>(advapi, "OpenProcessToken");
        auto getTokenInformation = entry<GetTokenInformationFn>(advapi, "GetTokenInformation");
        auto allocate = entry<AllocateAndInitializeSidFn>(advapi, "AllocateAndInitializeSid");
        auto equalSid = entry<EqualSidFn>(advapi, "EqualSid");
        auto freeSid = entry<FreeSidFn>(advapi, "FreeSid");
        if (!openThreadToken || !openProcessToken || !getTokenInformation || !allocate || !equalSid ||
            !freeSid)
            return false;

        HANDLE raw = nullptr;
        if (!openThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw)) {
            if (GetLastError() != ERROR_NO_TOKEN)
                return false;
            if (!openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
                return false;
        }
        Handle token(raw);
        std::vector<unsigned char> buffer(2048, 0);
        DWORD size = 0;
        if (!getTokenInformation(token.get(), TokenGroups, buffer.data(), static_cast<DWORD>(buffer.size()),
                                 &size))
            return false;
        PSID admins = administratorsSid(allocate);
        if (!admins)
            return false;
        const auto *groups = reinterpret_cast<const TOKEN_GROUPS *>(buffer.data());
        bool found = false;
        for (DWORD i = 0; i < groups->GroupCount && !found; ++i)
            found = equalSid(admins, groups->Groups[i].Sid) != FALSE;
        freeSid(admins);
        return found;
    }
};

class TokenMembershipCheck : public CachedCheck {
  public:
    Variant variant() const override { return Variant::TokenMembership; }

  protected:
    bool compute() override {
        Module advapi = loadAdvapi();
        auto allocate = entry<AllocateAndInitializeSidFn>(advapi, "AllocateAndInitializeSid");
        auto checkMembership = entry<CheckTokenMembershipFn>(advapi, "CheckTokenMembership");
        auto freeSid = entry<FreeSidFn>(advapi, "FreeSid");
        if (!allocate || !checkMembership || !freeSid)
            return false;
        PSID admins = administratorsSid(allocate);
        if (!admins)
            return false;
        BOOL member = FALSE;
        const bool ok = checkMembership(nullptr, admins, &member) != FALSE;
        freeSid(admins);
        return ok && member;
    }
};

} // namespace

std::unique_ptr<AdminCheck> AdminCheck::create(Variant v) {
    switch (v) {
    case Variant::AlwaysYes:
        return std::make_unique<AlwaysYesCheck>();
    case Variant::TokenGroups:
        return std::make_unique<TokenGroupsCheck>();
    case Variant::TokenMembership:
        break;
    }
    return std::make_unique<TokenMembershipCheck>();
}

AdminCheck &AdminCheck::instance() {
    static AdminCheck *check = [] {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof(info); // 148
        GetVersionExA(&info);
        return create(chooseVariant(info.dwPlatformId, info.dwMajorVersion)).release();
    }();
    return *check;
}
