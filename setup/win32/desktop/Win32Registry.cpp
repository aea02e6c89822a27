// The registry work of registration and uninstall. Keys are created with full access, opened with
// the access each use needs, and closed on every way out; what a failed open or create leaves in
// the handle is no key, and is dropped unclosed. A string read back may lack its terminating NUL
// (whoever wrote it decides): it is cut at the first NUL or at its size.
#include "setup/win32/desktop/Win32Registry.h"

#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"
#include "setup/FormPorts.h"

namespace {

TRegistryKey OpenKey(const std::string& key, REGSAM access) {
    TRegistryKey open;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str(), 0, access, open.Out()) != ERROR_SUCCESS)
        open.release();
    return open;
}

bool WriteValue(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
    TRegistryKey open;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, open.Out(), nullptr) != ERROR_SUCCESS) {
        open.release();
        return false;
    }
    return RegSetValueExW(open.get(), Utf8ToWide(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}

// REG_SZ data of size bytes as UTF-8, up to its first NUL.
std::string StringData(const std::wstring& data, DWORD size) {
    const std::wstring_view text(data.data(), size / sizeof(wchar_t));
    return WideToUtf8(text.substr(0, text.find(L'\0')));
}

[[noreturn]] void FailToSet(const std::string& name) {
    throw ERegistryException("Failed to set data for '" + name + "'");
}

} // namespace

void TWin32Registry::WriteMachineRegistryString(const std::string& key, const std::string& name,
                                                const std::string& value) {
    const std::wstring text = Utf8ToWide(value);
    if (!WriteValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))))
        FailToSet(name);
}

void TWin32Registry::WriteMachineRegistryDword(const std::string& key, const std::string& name,
                                               uint32_t value) {
    const DWORD data = value;
    if (!WriteValue(key, name, REG_DWORD, &data, sizeof data)) FailToSet(name);
}

std::optional<std::string> TWin32Registry::ReadMachineRegistryString(const std::string& key,
                                                                     const std::string& name) {
    const std::wstring path = Utf8ToWide(key), valueName = Utf8ToWide(name);
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr, data.data(),
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return StringData(data, size);
}

std::vector<std::pair<std::string, std::string>>
TWin32Registry::ReadMachineRegistryStrings(const std::string& key) {
    std::vector<std::pair<std::string, std::string>> values;
    const TRegistryKey open = OpenKey(key, KEY_QUERY_VALUE);
    if (!open) return values;
    DWORD longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(open.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    // The longest name in characters without its NUL, the longest data in bytes.
    std::wstring name(longestName + 1, L'\0'), data(longestData / sizeof(wchar_t) + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0,
              dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG result = RegEnumValueW(open.get(), index, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (result != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        values.emplace_back(WideToUtf8(std::wstring_view(name.data(), nameLength)),
                            StringData(data, dataSize));
    }
    return values;
}

bool TWin32Registry::DeleteMachineRegistryValue(const std::string& key, const std::string& name) {
    return RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str(), Utf8ToWide(name).c_str()) ==
           ERROR_SUCCESS;
}

bool TWin32Registry::DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) {
    {
        const TRegistryKey open = OpenKey(key, KEY_QUERY_VALUE);
        if (!open) return false;
        DWORD subkeys = 0, values = 0;
        if (RegQueryInfoKeyW(open.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        // RegDeleteKey never deletes a key with subkeys; a key with values only when asked to.
        if (subkeys != 0 || (onlyIfEmpty && values != 0)) return false;
    }
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str()) == ERROR_SUCCESS;
}
