// The rules on paths that an elevated uninstaller takes from text that others can write (its
// record, a record found in a folder before an installation), and that the setup applies to the
// folders it is asked to install into, so that it never installs where its uninstall would not
// go: a path counts only in the one plain form that names a single place, and lies inside a
// folder only when its components begin with the folder's, so that C:\Apps2 is not inside C:\Apps.
// The rules look at ASCII bytes alone ("\", "/", ":", ".", blanks, A to Z): no byte of a UTF-8
// multi-byte character is one of them, so UTF-8 names pass through whole. There is no limit on
// the length: long paths are the Win32 side's to reach.
//
// Accepted: a drive letter, a colon and a separator, then components separated by "\" or "/" (one
// trailing separator allowed). Refused: relative, rooted ("\x") and drive-relative ("C:x")
// paths; UNC names and the "\\?\", "\\.\" and "\??\" forms; doubled separators; "." and ".."
// components; components that end in a point or a blank (which Windows strips, so that two
// texts would name one file); control characters, wildcards, quotes, "<", ">", "|" and ":" (a
// data stream) inside a component; and device names (CON, NUL, COM1, aux.txt, ...). Where the
// platform has no drive letters (the native tests' folders), a path from the root "/" is full too.
#pragma once

#include <optional>
#include <string>

// What the rules above refuse in path, as the end of a sentence about it ("its part "Apps." ends
// in a point, which Windows drops"); nothing when they accept it.
std::optional<std::string> FullPathFault(const std::string& path);

// The path as a drive letter in upper case and its components separated by "\", without a
// trailing separator except for a drive's root ("C:\"); nothing when the rules above refuse it.
std::optional<std::string> NormalisedFullPath(const std::string& path);

// Whether path lies below folder (strictly), comparing full normalised paths component by
// component, ignoring the case of A to Z. False when either is refused, and when folder is a
// drive's root: no installation owns a whole drive.
bool IsInsideFolder(const std::string& folder, const std::string& path);
// The same, or path names folder itself.
bool IsFolderOrInside(const std::string& folder, const std::string& path);
// Whether both name the same place.
bool IsSamePath(const std::string& a, const std::string& b);
