// File names as the archive component handles them: UTF-8 text compared ignoring the case of the
// letters A to Z only (every other character compares exactly), "\" or "/" ending a folder. In
// UTF-8 these two bytes never occur inside another character, so they separate folders only
// where they stand for themselves.
#pragma once

#include <string>

// Equality ignoring the case of A to Z.
bool SameFileName(const std::string& a, const std::string& b);

// Everything up to and including the last separator; empty when there is none.
std::string FolderOf(const std::string& path);

// The name as a message can show it: control characters written as \xNN, and in a name that is
// not UTF-8 every byte from 0x80 up too, so that the message is UTF-8 like every other text.
std::string PrintableName(const std::string& name);
