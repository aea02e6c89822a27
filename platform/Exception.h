// The one general exception class of the system and the platform's own failure kinds.
// Every failure kind is a class derived directly from Exception that carries only a message,
// so callers that recover catch by class and everything else shows the message.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

// A stream read or write that could not be done in full.
class EStreamError : public Exception {
    using Exception::Exception;
};

// A file that could not be created for writing.
class EFCreateError : public Exception {
    using Exception::Exception;
};

// A file that could not be opened for reading.
class EFOpenError : public Exception {
    using Exception::Exception;
};

// A resource that does not exist in the module searched.
class EResNotFound : public Exception {
    using Exception::Exception;
};

// A file-system operation other than opening or creating a file failed (directory creation, ...).
class EInOutError : public Exception {
    using Exception::Exception;
};
