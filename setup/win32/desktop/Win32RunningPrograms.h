// The programs that hold the installation's files, through Windows' Restart Manager (rstrtmgr.dll,
// delay-loaded from System32 like every other system DLL): one session over the files, the names
// of the programs that use them, their orderly shutdown (each may save first) and their restart.
#pragma once

#include "platform/win32/Owned.h"
#include "setup/FormPorts.h"

// A Restart Manager session, ended with RmEndSession.
struct TRestartSessionPolicy {
    using TValue = DWORD;
    static TValue Empty() { return static_cast<DWORD>(-1); }
    static bool Valid(TValue value) { return value != static_cast<DWORD>(-1); }
    static void Free(TValue value);
};

class TWin32RunningPrograms : public TRunningPrograms {
public:
    std::vector<std::string> ProgramsUsing(const std::vector<std::string>& paths) override;
    bool ClosePrograms() override;
    bool RestartPrograms() override;
    void EndSession() override { Session.reset(); }

private:
    TOwned<TRestartSessionPolicy> Session;
};
