// The log file: lines end in CR LF, as Notepad and the administrators' tools expect.
#include "setup/unattended/InstallLog.h"

#include "platform/Exception.h"
#include "platform/FileStream.h"

void TRunNotes::operator()(const std::string& line) const {
    if (Log) Log->Write(line);
}

// A link planted at the log's path would have the elevated setup write wherever it points.
TFileInstallLog::TFileInstallLog(const std::string& path) : File(TFileStream::CreateNoLink(path)) {}

TFileInstallLog::~TFileInstallLog() = default;

void TFileInstallLog::Write(const std::string& line) {
    const std::string text = line + "\r\n";
    try {
        File->Write(text.data(), static_cast<int32_t>(text.size()));
    } catch (const Exception&) {
        // A full disk must not turn a good installation into a failed one.
    }
}
