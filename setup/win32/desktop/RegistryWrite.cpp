// Writing one string value below HKEY_LOCAL_MACHINE. The key is opened with full access and
// created when missing; the handle is closed on every way out.
#include "setup/win32/desktop/Desktop.h"

namespace desktop {

bool WriteMachineString(const std::string& key, const std::string& name, const std::string& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result =
        RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

} // namespace desktop
