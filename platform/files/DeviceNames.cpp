// The DOS device names, which Windows takes as devices in any folder and with any extension.
#include "platform/files/FileSystem.h"
#include "platform/text/AsciiCase.h"

bool IsDosDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = ToUpperAscii(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    // COM and LPT with a digit 1-9, or the code page's superscript digits 1, 2 and 3.
    const auto digit = base.size() == 4 ? static_cast<unsigned char>(base[3]) : 0;
    return (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
           ((digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}
