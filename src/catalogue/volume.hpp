#pragma once
// What kind of file system holds a folder, for the names it refuses: FAT,
// exFAT, NTFS and SMB shares ignore letter case and refuse characters and
// names that Linux file systems take.
//
// Thread rule: pure but for one statfs; any thread.

#include <cstdint>
#include <optional>
#include <string>

namespace quarrytide {

struct Volume {
  std::string type;          // "vfat", "exfat", "ntfs", "cifs", "ext4", … or "0x…" when unknown
  bool ignoresCase = false;  // names equal apart from case are one name there
  std::int64_t nameMax = 255;
};

// The file system type's name for statfs's `f_type`, and whether it ignores case.
Volume volumeOfType(std::int64_t type, std::int64_t nameMax);

// The volume of `folder`, or of the nearest folder above it that is there (a
// folder a batch is to make); nullopt when it cannot be looked at.
std::optional<Volume> volumeOf(const std::string& folder);

}  // namespace quarrytide
