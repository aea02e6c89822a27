// The running program: its executable's path, its rights and its resources.
#pragma once

#include "setup/FormPorts.h"

class TWin32Module : public TModule {
public:
    std::string ModulePath() override;
    bool Elevated() override;
    std::optional<std::string> LoadResource(const std::string& type, const std::string& name) override;
    std::unique_ptr<TStream> OpenArchiveResource(TArchiver& archiver, const std::string& name) override;
};
