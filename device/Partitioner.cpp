// Partitioning through libfdisk.

#include "device/Partitioner.h"

#include <libfdisk/libfdisk.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/SysfsFiles.h"
#include "shell/DebugLog.h"

namespace {

// The steps in order; the first failing one names the reason.
bool partition(struct fdisk_context* cxt, int fd, const std::string& node, unsigned type, PartitionPlace& place,
               std::string* error) {
  auto fail = [&](const char* step, int rc) {
    std::string reason = std::string(step) + ": " + strerror(rc < 0 ? -rc : rc);
    dlog() << "Partitioner(26): " << node << " " << reason << "\n";
    if (error) *error = reason;
    return false;
  };
  int rc = fdisk_assign_device_by_fd(cxt, fd, node.c_str(), 0);
  if (rc != 0) return fail("open", rc);
  fdisk_disable_dialogs(cxt, 1);
  if ((rc = fdisk_create_disklabel(cxt, "dos")) != 0) return fail("new table", rc);
  struct fdisk_label* label = fdisk_get_label(cxt, "dos");
  struct fdisk_parttype* parttype = label ? fdisk_label_get_parttype_from_code(label, type) : nullptr;
  if (!parttype) return fail("partition type", EINVAL);
  struct fdisk_partition* pa = fdisk_new_partition();
  if (!pa) return fail("partition", ENOMEM);
  fdisk_partition_set_partno(pa, 0);
  fdisk_partition_start_follow_default(pa, 1);
  fdisk_partition_end_follow_default(pa, 1);
  fdisk_partition_set_type(pa, parttype);
  rc = fdisk_add_partition(cxt, pa, nullptr);
  fdisk_unref_partition(pa);
  if (rc != 0) return fail("partition", rc);
  struct fdisk_partition* added = nullptr;
  if ((rc = fdisk_get_partition(cxt, 0, &added)) != 0) return fail("partition", rc);
  const uint64_t sector = fdisk_get_sector_size(cxt);
  place.start = static_cast<uint64_t>(fdisk_partition_get_start(added)) * sector;
  place.size = static_cast<uint64_t>(fdisk_partition_get_size(added)) * sector;
  fdisk_unref_partition(added);
  if ((rc = fdisk_write_disklabel(cxt)) != 0) return fail("write", rc);
  dlog() << "Partitioner(52): " << node << " type " << type << " start " << place.start << " size " << place.size
         << "\n";
  // A kernel without partition support, or a disk in use, keeps its old
  // view; the caller then finds no partition node and copes.
  if ((rc = fdisk_reread_partition_table(cxt)) != 0) dlog() << "Partitioner(56): " << node << " " << rc << "\n";
  return true;
}

}  // namespace

bool createSinglePartition(int fd, const std::string& node, unsigned type, PartitionPlace& place,
                           std::string* error) {
  struct fdisk_context* cxt = fdisk_new_context();
  if (!cxt) {
    if (error) *error = strerror(ENOMEM);
    return false;
  }
  bool ok = partition(cxt, fd, node, type, place, error);
  // The descriptor stays the caller's; nothing more is synced here.
  fdisk_deassign_device(cxt, 1);
  fdisk_unref_context(cxt);
  if (ok && fsync(fd) != 0) dlog() << "Partitioner(72): " << node << " " << strerror(errno) << "\n";
  return ok;
}

std::string partitionNode(const std::string& diskNode, uint64_t start, int waitMs, const std::string& sysRoot,
                          const std::string& devRoot) {
  struct stat st;
  if (stat(diskNode.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::string();
  const std::string base =
      sysRoot + "/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  for (int waited = 0;; waited += 50) {
    for (const std::string& name : sysfs::listFolder(base)) {
      const std::string dir = base + "/" + name;
      if (!sysfs::exists(dir + "/partition") || sysfs::readNumber(dir + "/start", 0) * 512 != start) continue;
      if (sysfs::exists(devRoot + "/" + name)) return devRoot + "/" + name;
    }
    if (waited >= waitMs) return std::string();
    usleep(50 * 1000);
  }
}
