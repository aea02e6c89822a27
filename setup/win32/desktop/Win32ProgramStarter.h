// Starting a program for the person at the desktop: through the desktop's shell (Explorer), so that
// it runs as the user who owns the desktop, or directly by this process.
#pragma once

#include "setup/FormPorts.h"

class TWin32ProgramStarter : public TProgramStarter {
public:
    bool StartProcess(TStartRoute route, const std::string& program, const std::string& parameters,
                      const std::string& workingDirectory) override;
};
