#include "base/TimeText.h"

#include <cmath>
#include <cstdlib>

bool parseSeconds(const char* text, double& seconds) {
    if (!text || !*text) return false;
    char* end = nullptr;
    const double value = strtod(text, &end);
    if (*end != '\0' || std::isnan(value)) return false;
    seconds = value;
    return true;
}
