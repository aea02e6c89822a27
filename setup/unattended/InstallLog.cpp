// The log file: UTF-8 after its byte-order mark, lines ending in CR LF, as Notepad and the
// administrators' tools expect.
#include "setup/unattended/InstallLog.h"

#include "platform/Exception.h"
#include "platform/files/FileStream.h"

void TRunNotes::operator()(const std::string& line) const {
    if (Log) Log->Write(line);
}

// A link planted at the log's path would have the elevated setup write wherever it points.
TFileInstallLog::TFileInstallLog(const std::string& path)
    : TFileInstallLog(TFileStream::CreateNoLink(path)) {}

TFileInstallLog::TFileInstallLog(std::unique_ptr<TStream> file) : File(std::move(file)) {
    File->Seek(0, TSeekOrigin::End);
    if (File->Position() != 0) return;
    try {
        File->Write(Utf8ByteOrderMark, 3);
    } catch (const Exception&) {
        // As a line that cannot be written: the log is no reason to fail.
    }
}

TFileInstallLog::~TFileInstallLog() = default;

void TFileInstallLog::Write(const std::string& line) {
    const std::string text = line + "\r\n";
    try {
        File->Write(text.data(), static_cast<int32_t>(text.size()));
    } catch (const Exception&) {
        // A full disk must not turn a good installation into a failed one.
    }
}
