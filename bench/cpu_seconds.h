#pragma once
// CPU seconds spent so far, user and system: on a machine shared with other work the wall
// time says more about the others than about the program measured.
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace quenfall::bench {

enum class CpuOf { ThisProcess, EndedChildren };

inline double CpuSeconds(CpuOf whose = CpuOf::ThisProcess) {
#if defined(_WIN32)
    (void)whose;
    return 0.0;
#else
    rusage usage{};
    ::getrusage(whose == CpuOf::ThisProcess ? RUSAGE_SELF : RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

}  // namespace quenfall::bench
