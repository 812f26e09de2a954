#include "one_line.h"

std::string one_line(const std::string& diagnosis) {
    std::size_t cut = diagnosis.find("\r\n\r\n");
    if (cut == std::string::npos) return diagnosis;
    return diagnosis.substr(0, cut) + " (" + diagnosis.substr(cut + 4) + ")";
}
