// Memory about to be filled, made present in one request: the system otherwise maps each page at
// its first touch, a fault each, which a virtual machine makes costly (some 12 us a page where the
// install benchmark runs, about half of it saved). Only a hint: what cannot be made present now
// is mapped at its first touch as before, and the bytes are left as they are.
#pragma once

#include <cstddef>

void MakePagesPresent(void* start, size_t size);
