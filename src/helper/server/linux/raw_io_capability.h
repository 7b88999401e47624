#pragma once
// Whether this process holds CAP_SYS_RAWIO in its effective set. Inside a user namespace
// the answer can be yes while the kernel still refuses what the capability grants: it
// counts only in the initial namespace.
namespace quenfall {

bool ProcessHasRawIoCapability();

}  // namespace quenfall
