#include "helper/server/linux/user_namespace.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <string>

namespace quenfall::helper {

bool IsInitialUidMap(std::string_view uidMap) {
    std::istringstream in{std::string(uidMap)};
    std::string inside, outside, count, extra;
    if (!(in >> inside >> outside >> count)) return false;
    if (in >> extra) return false;  // a second extent
    return inside == "0" && outside == "0" && count == "4294967295";
}

bool InInitialUserNamespace() {
    const int fd = ::open("/proc/self/uid_map", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct statfs fsInfo {};
    std::string text;
    if (::fstatfs(fd, &fsInfo) == 0 && fsInfo.f_type == PROC_SUPER_MAGIC) {
        char buffer[512];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > 4096) break;
        }
    }
    ::close(fd);
    return IsInitialUidMap(text);
}

}  // namespace quenfall::helper
