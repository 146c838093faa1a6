#include "media/sandbox.hpp"

#include <fcntl.h>
#include <seccomp.h>

#include <cerrno>
#include <cstring>

namespace quarrytide {

namespace {

// Calls that change files or reach beyond the process.
constexpr int kRefused[] = {
    SCMP_SYS(creat),
    SCMP_SYS(unlink),
    SCMP_SYS(unlinkat),
    SCMP_SYS(rename),
    SCMP_SYS(renameat),
    SCMP_SYS(renameat2),
    SCMP_SYS(mkdir),
    SCMP_SYS(mkdirat),
    SCMP_SYS(rmdir),
    SCMP_SYS(truncate),
    SCMP_SYS(ftruncate),
    SCMP_SYS(link),
    SCMP_SYS(linkat),
    SCMP_SYS(symlink),
    SCMP_SYS(symlinkat),
    SCMP_SYS(mknod),
    SCMP_SYS(mknodat),
    SCMP_SYS(chmod),
    SCMP_SYS(fchmod),
    SCMP_SYS(fchmodat),
    SCMP_SYS(chown),
    SCMP_SYS(fchown),
    SCMP_SYS(lchown),
    SCMP_SYS(fchownat),
    SCMP_SYS(setxattr),
    SCMP_SYS(lsetxattr),
    SCMP_SYS(fsetxattr),
    SCMP_SYS(removexattr),
    SCMP_SYS(lremovexattr),
    SCMP_SYS(fremovexattr),
    SCMP_SYS(utime),
    SCMP_SYS(utimes),
    SCMP_SYS(utimensat),
    SCMP_SYS(futimesat),
    SCMP_SYS(execve),
    SCMP_SYS(execveat),
    SCMP_SYS(fork),
    SCMP_SYS(vfork),
    SCMP_SYS(socket),
    SCMP_SYS(connect),
    SCMP_SYS(bind),
    SCMP_SYS(listen),
    SCMP_SYS(ptrace),
    SCMP_SYS(mount),
    SCMP_SYS(umount2),
    SCMP_SYS(openat2),
    SCMP_SYS(name_to_handle_at),
};

// Any open with one of these flags could write.
constexpr unsigned kWriteFlags[] = {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, O_APPEND};

}  // namespace

std::string enterReadOnlySandbox() {
  scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
  if (!ctx) return "seccomp is not available";
  int rc = 0;
  for (int call : kRefused) rc = rc ? rc : seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EACCES), call, 0);
  for (unsigned flag : kWriteFlags) {
    if (!rc)
      rc = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(open), 1,
                            SCMP_A1(SCMP_CMP_MASKED_EQ, flag, flag));
    if (!rc)
      rc = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(openat), 1,
                            SCMP_A2(SCMP_CMP_MASKED_EQ, flag, flag));
  }
  if (!rc) rc = seccomp_load(ctx);  // sets no_new_privs first
  seccomp_release(ctx);
  return rc ? std::string("seccomp: ") + std::strerror(-rc) : std::string();
}

}  // namespace quarrytide
