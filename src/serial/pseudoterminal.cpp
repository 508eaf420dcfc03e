#include "serial/pseudoterminal.h"

#if defined(__linux__)
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace serial {

bool isPseudoTerminal([[maybe_unused]] int fd)
{
#if defined(__linux__)
    // Slaves of the Unix 98 pseudo-terminals have majors 136 to 143.
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const auto m = major(info.st_rdev);
    return m >= 136 && m <= 143;
#else
    return false;
#endif
}

} // namespace serial
