// The registry work of registration and uninstall below HKEY_LOCAL_MACHINE: DWORD values, reading
// string values one by one or all of a key, and deleting values and keys. Every handle is closed on
// every way out.
#include "setup/win32/desktop/Desktop.h"

#include <vector>

namespace desktop {

namespace {

// An open key, closed when it goes out of scope.
class TKey {
public:
    TKey(const std::string& key, REGSAM access) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, access, &Handle) != ERROR_SUCCESS)
            Handle = nullptr;
    }
    ~TKey() {
        if (Handle) RegCloseKey(Handle);
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;

    HKEY Handle = nullptr;
};

} // namespace

bool WriteMachineDword(const std::string& key, const std::string& name, uint32_t value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD data = value;
    const LONG result =
        RegSetValueExA(handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name) {
    TKey open(key, KEY_QUERY_VALUE);
    if (!open.Handle) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(open.Handle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(open.Handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data.data());
}

std::vector<std::pair<std::string, std::string>> ReadMachineStrings(const std::string& key) {
    std::vector<std::pair<std::string, std::string>> values;
    TKey open(key, KEY_QUERY_VALUE);
    if (!open.Handle) return values;
    DWORD longestName = 0, longestData = 0;
    if (RegQueryInfoKeyA(open.Handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    std::vector<char> name(longestName + 1), data(longestData + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size() - 1),
              type = 0;
        const LONG result = RegEnumValueA(open.Handle, index, name.data(), &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (result != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        data[dataSize] = '\0';
        values.emplace_back(std::string(name.data(), nameSize), std::string(data.data()));
    }
    return values;
}

bool DeleteMachineValue(const std::string& key, const std::string& name) {
    TKey open(key, KEY_SET_VALUE);
    return open.Handle && RegDeleteValueA(open.Handle, name.c_str()) == ERROR_SUCCESS;
}

bool DeleteMachineKey(const std::string& key, bool onlyIfEmpty) {
    {
        TKey open(key, KEY_QUERY_VALUE);
        if (!open.Handle) return false;
        DWORD subkeys = 0, values = 0;
        if (RegQueryInfoKeyA(open.Handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        // RegDeleteKey never deletes a key with subkeys; a key with values only when asked to.
        if (subkeys != 0 || (onlyIfEmpty && values != 0)) return false;
    }
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()) == ERROR_SUCCESS;
}

} // namespace desktop
