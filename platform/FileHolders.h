#pragma once

#include <sys/types.h>

// Who else has a file: for removing a file only once nobody holds it.
namespace platform {

// Whether the file (device, inode) is open or mapped in any process of this user (this one
// too, but for its descriptor `ownFd`), or has a POSIX or open-file-description lock or a lease
// of any process on it. Processes this user may not look into (another user's, one that made
// itself undumpable) are seen only by their locks. True when nothing can be looked at.
bool HeldElsewhere(dev_t device, ino_t inode, int ownFd);

} // namespace platform
