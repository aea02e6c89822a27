// The access every folder an installation makes outside Windows' own protected folders is given,
// as the system's security descriptor text (SDDL): protected from what the folders above would
// hand down (P); Administrators (BA) and SYSTEM (SY) full control (FA), Users (BU) read and
// execute (FR, FX); each entry for the folder, its subfolders (CI) and its files (OI). Nobody else
// may write, delete or change access, so nobody but an administrator can replace the uninstaller
// or Vellumor that administrators and deployment tools run elevated.
#pragma once

inline const char* const ProtectedFolderSddl = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)";
