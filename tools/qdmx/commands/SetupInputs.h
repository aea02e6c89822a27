// The checks make-setup runs on its inputs before it writes anything: the support record must be
// one the wizard accepts, the dictionary folder must hold exactly one project file and the
// Vellumor folder or archive none. Each failure raises Exception with a message that names the input.
#pragma once

#include <string>

namespace qdmx {

// The record as the setup will carry it: the file's text without one trailing line end, as UTF-8
// without a byte-order mark (setup/record/RecordText.h; a record that is not UTF-8 is ANSI in
// ansiCodePage). Raises Exception unless it is one line of at least five TAB-separated fields with
// a dictionary name that can be a folder name and a creation date the wizard can show, or when it
// is UTF-16 or has the UTF-8 byte-order mark but is not UTF-8.
std::string CheckedSupportRecord(const std::string& path, unsigned ansiCodePage);
// Raises Exception unless path is a QDMX archive that the setup can expand as Vellumor's: member
// names that stay inside the target folder on Windows, and no project file.
void CheckVellumorArchive(const std::string& path, const char* option);
// Raises Exception unless path is a folder whose tree holds exactly `projectFiles` project files
// (*.vlp, any case); with projectFiles 1 that file must have a [Project] section.
void CheckPayloadFolder(const std::string& path, const char* option, int projectFiles);

} // namespace qdmx
