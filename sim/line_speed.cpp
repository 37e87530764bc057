// The line speed of a pseudo-terminal pair, read through its master side.
// Kept apart from the rest because <asm/termbits.h> (termios2, which also
// carries rates set with BOTHER) cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace sim {

uint32_t LineSpeedOf(int fd) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

}  // namespace sim
