// Running another program and waiting for it, without a shell between: its arguments reach it as
// they are given, so nothing in them (a path with spaces, a quote, a ";") is ever interpreted.
#pragma once

#include <string>
#include <vector>

namespace qdmx {

// Runs arguments[0], looked up as the system looks up a program named on a command line, with the
// rest as its arguments; its standard output and error go to outputFile when one is named (created
// afresh), else to qdmx's own. Its exit status; raises Exception when it cannot be started.
int RunProgram(const std::vector<std::string>& arguments, const std::string& outputFile = "");

} // namespace qdmx
