// The plain-text log that /LOG= asks for: one line per thing done (file written or kept, registry
// value, shortcut, folder removed) and the outcome. The wizard and the uninstaller write to it
// through this interface; TFileInstallLog puts it into a file, line by line, so that a run that
// ends abruptly still leaves what it did.
#pragma once

#include <memory>
#include <string>

class TFileStream;

class TInstallLog {
public:
    virtual ~TInstallLog() = default;
    virtual void Write(const std::string& line) = 0;
};

// Where the parts of a run note what they do: the log set for the run, and nowhere while none is.
class TRunNotes {
public:
    void SetLog(TInstallLog* log) { Log = log; }
    void operator()(const std::string& line) const;

private:
    TInstallLog* Log = nullptr;
};

class TFileInstallLog : public TInstallLog {
public:
    // Creates (or empties) the file; raises EFCreateError when it cannot.
    explicit TFileInstallLog(const std::string& path);
    ~TFileInstallLog() override;
    void Write(const std::string& line) override;

private:
    std::unique_ptr<TFileStream> File;
};
