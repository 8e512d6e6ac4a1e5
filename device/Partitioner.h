// A fresh partition table with one partition, and finding the volume on it.
#pragma once

#include <cstdint>
#include <string>

// Partition types of the DOS partition table.
const unsigned kPartitionFat16 = 0x06;
const unsigned kPartitionNtfs = 0x07;
const unsigned kPartitionFat32 = 0x0B;

struct PartitionPlace {
  uint64_t start = 0;  // bytes
  uint64_t size = 0;   // bytes
};

// Writes a DOS partition table with one primary partition of `type` from
// the first aligned sector (1 MiB) to the end of the device open on `fd`
// (read-write; `node` names it in messages), and asks the kernel to read
// the new table.  False with the reason in `error`.
bool createSinglePartition(int fd, const std::string& node, unsigned type, PartitionPlace& place,
                           std::string* error);

// The node of the partition of the disk `diskNode` that starts at byte
// `start`, once the kernel shows it (waiting up to `waitMs`); empty when
// it does not.
std::string partitionNode(const std::string& diskNode, uint64_t start, int waitMs,
                          const std::string& sysRoot = "/sys", const std::string& devRoot = "/dev");
