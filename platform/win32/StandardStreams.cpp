// The process's standard streams, in a file of their own so that the setup programs, which read
// and write neither, do not carry them.
#include "platform/files/FileStream.h"

#include <windows.h>

std::unique_ptr<TFileStream> TFileStream::StandardInput() {
    return std::unique_ptr<TFileStream>(
        new TFileStream(reinterpret_cast<intptr_t>(GetStdHandle(STD_INPUT_HANDLE)), "<stdin>", false));
}

std::unique_ptr<TFileStream> TFileStream::StandardOutput() {
    return std::unique_ptr<TFileStream>(
        new TFileStream(reinterpret_cast<intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE)), "<stdout>", false));
}
