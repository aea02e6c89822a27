// A number that differs between processes and between runs of one program, for names that
// concurrent programs should seldom share. Not for secrets.
#pragma once

#include <cstdint>

uint64_t ProcessSeed();
