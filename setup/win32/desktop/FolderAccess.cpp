// The groups that stand for "anyone who is no administrator" are Everyone, Users, Authenticated
// Users and Interactive: what the access list grants any of them on the folder itself (entries
// only inherited by what is below do not count) is what any user may do there.
#include "setup/win32/desktop/FolderAccess.h"

#include "platform/win32/FinalPath.h"
#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"
#include "setup/ProtectedAccess.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace {

// Changes to the folder itself: renaming or deleting it, deleting what it holds, its access, its
// owner. With its entries: adding files and folders too.
constexpr ACCESS_MASK ChangesFolder = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;
constexpr ACCESS_MASK ChangesEntries = ChangesFolder | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;

const WELL_KNOWN_SID_TYPE AnyUser[] = {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid,
                                       WinInteractiveSid};
const WELL_KNOWN_SID_TYPE TrustedOwners[] = {WinBuiltinAdministratorsSid, WinLocalSystemSid};
const wchar_t* const TrustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

using TSid = std::vector<unsigned char>;

TSid WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    TSid sid(size);
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    return sid;
}

TSid ProcessUserSid() {
    THandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return TSid(bytes, bytes + GetLengthSid(sid));
}

bool TrustedOwner(PSID owner) {
    if (!owner) return false;
    for (const WELL_KNOWN_SID_TYPE type : TrustedOwners)
        if (IsWellKnownSid(owner, type)) return true;
    const TSid user = ProcessUserSid();
    if (!user.empty() && EqualSid(owner, const_cast<unsigned char*>(user.data()))) return true;
    TLocalMemory<void> installer;
    return ConvertStringSidToSidW(TrustedInstaller, installer.Out()) && EqualSid(owner, installer.get());
}

ACCESS_MASK Mapped(ACCESS_MASK mask) {
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&mask, &mapping);
    return mask;
}

// What the list grants sid on the folder itself. The system's own reckoning first; where it has
// none (Wine's GetEffectiveRightsFromAclW is a stub that fails), the entries read in order as the
// system reads them: a right denied before it is granted stays denied.
ACCESS_MASK GrantedTo(PACL dacl, PSID sid) {
    TRUSTEE_W trustee{};
    BuildTrusteeWithSidW(&trustee, sid);
    ACCESS_MASK rights = 0;
    if (GetEffectiveRightsFromAclW(dacl, &trustee, &rights) == ERROR_SUCCESS) return Mapped(rights);
    ACL_SIZE_INFORMATION size{};
    if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return FILE_ALL_ACCESS;
    ACCESS_MASK allowed = 0, denied = 0;
    for (DWORD index = 0; index < size.AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(dacl, index, &ace)) return FILE_ALL_ACCESS;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            if (EqualSid(&entry->SidStart, sid)) allowed |= Mapped(entry->Mask) & ~denied;
        } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* entry = static_cast<ACCESS_DENIED_ACE*>(ace);
            if (EqualSid(&entry->SidStart, sid)) denied |= Mapped(entry->Mask) & ~allowed;
        }
    }
    return allowed;
}

} // namespace

bool OthersCanChangeFolder(const std::string& path, bool entries) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    TLocalMemory<void> descriptor;
    std::wstring wide = WidePath(path);
    if (GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                              nullptr, descriptor.Out()) != ERROR_SUCCESS)
        return true;
    // No list at all lets everyone do everything; an owner may always change the access.
    if (!dacl || !TrustedOwner(owner)) return true;
    const ACCESS_MASK changes = entries ? ChangesEntries : ChangesFolder;
    for (const WELL_KNOWN_SID_TYPE type : AnyUser) {
        TSid sid = WellKnownSid(type);
        if (sid.empty() || (GrantedTo(dacl, sid.data()) & changes)) return true;
    }
    return false;
}

bool ProtectFolderAccess(const std::string& path) {
    std::wstring wide = WidePath(path);
    {
        // Never the place a link leads to.
        const THandle folder(CreateFileW(
            wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder || IsReparseHandle(folder.get()) || !FinalPathIs(folder.get(), wide)) return false;
    }
    TLocalMemory<void> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(Utf8ToWide(ProtectedFolderSddl).c_str(),
                                                              SDDL_REVISION_1, descriptor.Out(), nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) || !present || !dacl)
        return false;
    return SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, dacl, nullptr) == ERROR_SUCCESS;
}
