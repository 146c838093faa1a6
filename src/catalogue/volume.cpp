#include "volume.hpp"

#include <sys/vfs.h>

#include <cerrno>
#include <cstdio>

namespace quarrytide {

namespace {

struct Known {
  std::int64_t magic;
  const char* name;
  bool ignoresCase;
};

// statfs magic numbers (linux/magic.h and the file systems' own headers).
constexpr Known kKnown[] = {
    {0x4d44, "vfat", true},       {0x2011BAB0, "exfat", true},    {0x5346544e, "ntfs", true},
    {0xFF534D42, "cifs", true},   {0xFE534D42, "smb2", true},     {0x517B, "smb", true},
    {0xEF53, "ext4", false},      {0x9123683E, "btrfs", false},   {0x58465342, "xfs", false},
    {0x01021994, "tmpfs", false}, {0x794c7630, "overlay", false}, {0x65735546, "fuse", false},
    {0x6969, "nfs", false},       {0x2FC12FC1, "zfs", false},     {0xF2F52010, "f2fs", false},
    {0x9660, "iso9660", false},   {0x15013346, "udf", false},
};

}  // namespace

Volume volumeOfType(std::int64_t type, std::int64_t nameMax) {
  const auto magic = static_cast<std::int64_t>(static_cast<std::uint32_t>(type));
  for (const Known& k : kKnown)
    if (k.magic == magic) return {k.name, k.ignoresCase, nameMax};
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(magic));
  return {hex, false, nameMax};
}

std::optional<Volume> volumeOf(const std::string& folder) {
  // a folder a batch is to make is on the volume of the nearest one there
  std::string at = folder;
  struct statfs st;
  while (::statfs(at.c_str(), &st) != 0) {
    if (errno != ENOENT || at.size() <= 1) return std::nullopt;
    const auto slash = at.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    at = slash ? at.substr(0, slash) : "/";
  }
  return volumeOfType(static_cast<std::int64_t>(st.f_type),
                      static_cast<std::int64_t>(st.f_namelen));
}

}  // namespace quarrytide
