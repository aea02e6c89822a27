// Splitting and reading the command line. Arguments are separated by blanks or tabs; a double
// quote starts or ends a part in which blanks do not separate, and the quotes themselves are
// dropped. "/D=" and "_?=" end the line: their value is everything after them, trailing blanks
// trimmed, as administrators pass them unquoted.
#include "setup/unattended/CommandLine.h"

#include "platform/text/AsciiCase.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// True when text begins with prefix, ignoring the case of A to Z.
bool StartsWithText(const std::string& text, size_t at, const std::string& prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (ToUpperAscii(text[at + i]) != prefix[i]) return false;
    return true;
}

// A directory without trailing backslashes, unless that would turn a root ("C:\", "\") into a
// drive-relative name.
std::string TrimDirectory(std::string directory) {
    while (directory.size() > 1 && directory.back() == '\\' && directory[directory.size() - 2] != ':')
        directory.pop_back();
    return directory;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && IsBlank(text.back())) text.pop_back();
    return text;
}

// One quoted-or-plain argument starting at pos; pos moves past it.
std::string NextArgument(const std::string& line, size_t& pos) {
    std::string argument;
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsBlank(c)) break;
        argument += c;
    }
    return argument;
}

std::string RequireValue(const std::string& argument, size_t nameLength, bool directory) {
    std::string value = argument.substr(nameLength);
    if (directory) value = TrimDirectory(value);
    if (value.empty()) throw EUsageError("Missing value: " + argument);
    return value;
}

} // namespace

TSetupOptions ParseCommandLine(const std::string& arguments, TOptionSet set, TSetupOptions* partial) {
    TSetupOptions options;
    try {
        size_t pos = 0;
        for (;;) {
            while (pos < arguments.size() && IsBlank(arguments[pos])) ++pos;
            if (pos >= arguments.size()) break;
            // The options that take the rest of the line.
            const bool isLast = set == TOptionSet::Setup ? (arguments[pos] == '/' || arguments[pos] == '-') &&
                                                               StartsWithText(arguments, pos + 1, "D=")
                                                         : StartsWithText(arguments, pos, "_?=");
            if (isLast) {
                std::string value = TrimRight(arguments.substr(pos + 3));
                if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    value = value.substr(1, value.size() - 2);
                value = TrimDirectory(value);
                if (value.empty()) throw EUsageError("Missing value: " + arguments.substr(pos, 3));
                if (set == TOptionSet::Setup)
                    options.BaseDirectory = value;
                else
                    options.OriginDirectory = value;
                break;
            }
            const std::string argument = NextArgument(arguments, pos);
            if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-'))
                throw EUsageError("Unknown argument: " + argument);
            std::string name;
            for (char c : argument.substr(1, argument.find('=') == std::string::npos ? std::string::npos
                                                                                     : argument.find('=')))
                name += ToUpperAscii(c);
            if (name == "S") {
                options.Silent = true;
            } else if (name == "?") {
                options.Help = true;
            } else if (name == "LOG=") {
                options.LogFile = RequireValue(argument, 5, false);
            } else if (name == "CLOSEAPPLICATIONS" || name == "NOCLOSEAPPLICATIONS") {
                const bool close = name == "CLOSEAPPLICATIONS";
                if (options.CloseApplications && *options.CloseApplications != close)
                    throw EUsageError("Contradicting options: /CLOSEAPPLICATIONS and /NOCLOSEAPPLICATIONS");
                options.CloseApplications = close;
            } else if (set == TOptionSet::Setup && name == "NOLAUNCH") {
                options.NoLaunch = true;
            } else if (set == TOptionSet::Uninstall && name == "_HANDOFF=") {
                options.Handoff = RequireValue(argument, 10, false);
            } else if (set == TOptionSet::Setup && name == "D=") {
                // Only a quoted "/D=..." gets here: the quotes make its end clear.
                options.BaseDirectory = RequireValue(argument, 3, true);
            } else if (set == TOptionSet::Setup && name == "DICT=") {
                options.DictionaryDirectory = RequireValue(argument, 6, true);
            } else {
                throw EUsageError("Unknown option: " + argument);
            }
        }
    } catch (const EUsageError&) {
        if (partial) *partial = options;
        throw;
    }
    return options;
}

std::string UsageText(TOptionSet set) {
    if (set == TOptionSet::Uninstall)
        return "Usage: uninstall.exe [/S] [/CLOSEAPPLICATIONS | /NOCLOSEAPPLICATIONS] [/LOG=FILE]\n\n"
               "/S\tremove without asking and without any window\n"
               "/CLOSEAPPLICATIONS\twith /S: close programs that use the files (default: remove them at "
               "restart)\n"
               "/LOG=FILE\twrite what was removed and kept to FILE\n"
               "/?\tshow this text\n\n"
               "Exit codes: 0 removed, 1 not removed or failed, 2 usage error, 3010 a restart finishes it.";
    return "Usage: setup.exe [/S] [/CLOSEAPPLICATIONS | /NOCLOSEAPPLICATIONS] [/NOLAUNCH] [/LOG=FILE] "
           "[/DICT=DIR] "
           "[/D=DIR]\n\n"
           "/S\tinstall without any window, with the defaults\n"
           "/CLOSEAPPLICATIONS\twith /S: close programs that use the files (default: replace them at "
           "restart)\n"
           "/NOLAUNCH\tdo not start Vellumor at the end\n"
           "/LOG=FILE\twrite a log of the installation to FILE\n"
           "/DICT=DIR\tthe dictionary directory\n"
           "/D=DIR\tthe Vellumor base directory (Vellumor goes into DIR\\VL); last, not quoted\n"
           "/?\tshow this text\n\n"
           "Exit codes: 0 installed, 1 failed, 2 usage error, 3010 a restart finishes it.";
}
