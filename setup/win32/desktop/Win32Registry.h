// The registry below HKEY_LOCAL_MACHINE that registration and uninstall need: names and strings
// in UTF-16 (REG_SZ), given and taken as UTF-8.
#pragma once

#include "setup/FormPorts.h"

class TWin32Registry : public TMachineRegistry {
public:
    void WriteMachineRegistryString(const std::string& key, const std::string& name,
                                    const std::string& value) override;
    void WriteMachineRegistryDword(const std::string& key, const std::string& name, uint32_t value) override;
    std::optional<std::string> ReadMachineRegistryString(const std::string& key,
                                                         const std::string& name) override;
    std::vector<std::pair<std::string, std::string>>
    ReadMachineRegistryStrings(const std::string& key) override;
    bool DeleteMachineRegistryValue(const std::string& key, const std::string& name) override;
    // Only a key without subkeys: RegDeleteKey never deletes one with subkeys.
    bool DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) override;
};
