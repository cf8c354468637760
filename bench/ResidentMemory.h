#pragma once

#include <fstream>
#include <string>

// This process's resident memory in KiB, from the kernel's own account; -1 where it gives none.
inline long rssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}
