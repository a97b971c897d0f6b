#pragma once

#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `check` with the rights of an ordinary user, so file permission tests mean something
// when the tests run as root: there it runs in a child process that has given up root.
// True when `check` returned true.
inline bool AsOrdinaryUser(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
