#include "helper/server/linux/raw_io_capability.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quenfall {

bool ProcessHasRawIoCapability() {
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_SYS_RAWIO / 32].effective & (1u << (CAP_SYS_RAWIO % 32))) != 0;
}

}  // namespace quenfall
