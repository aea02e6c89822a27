// The plain-text log that /LOG= asks for: one line per thing done (file written or kept, registry
// value, shortcut, folder removed) and the outcome. The wizard and the uninstaller write to it
// through this interface; TFileInstallLog puts it into a file, line by line, so that a run that
// ends abruptly still leaves what it did. The lines are UTF-8, as every text inside the programs,
// and the file begins with UTF-8's byte-order mark, so that Notepad and the administrators' tools
// read it as UTF-8 whatever the machine's code page.
#pragma once

#include <memory>
#include <string>

class TStream;

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
    // Creates (or empties) the file and starts it with the mark; raises EFCreateError when it
    // cannot.
    explicit TFileInstallLog(const std::string& path);
    // Appends to a log open already: the mark only when it is empty, so never a second one.
    explicit TFileInstallLog(std::unique_ptr<TStream> file);
    ~TFileInstallLog() override;
    void Write(const std::string& line) override;

private:
    std::unique_ptr<TStream> File;
};

// UTF-8's byte-order mark, EF BB BF.
inline const char* const Utf8ByteOrderMark = "\xEF\xBB\xBF";
