// The reader of one file or directory inside a FAT volume.
//
// Positions in the file become positions on the medium through the file's
// cluster list: the allocation chain when the first cluster is in use, or
// the run of free clusters after it when it is not (how a deleted file,
// whose chain the table no longer holds, is read back).  One object is
// re-aimed at one file after another with open().
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "fat/Bitmap.h"
#include "fat/FatGeometry.h"
#include "fat/FatParameters.h"
#include "fat/FatTable.h"
#include "media/Reader.h"

class ReaderFatFile : public Reader {
 public:
  // The medium is not owned and must outlive this object.  Empty list, size 0.
  explicit ReaderFatFile(Reader* medium);
  ~ReaderFatFile() override;

  // Prepares the allocation table and the geometry of one volume.
  bool init(const FatParameters& params, std::shared_ptr<Bitmap> copyMap);
  // Builds the cluster list of a file of `size` bytes.  Never looks up more
  // clusters than the size needs (and never more than the volume holds), so
  // a looping or cross-linked table cannot hang it; a chain that loops is
  // cut before its first repeated cluster.  On success size() is
  // the list length times the cluster size, which may be less than `size`
  // when the chain or the free run is cut short: callers compare.
  bool open(uint64_t firstCluster, uint64_t size);
  // Reads along the list, one medium read per run of clusters that follow
  // each other; a read past the list goes on with the clusters that follow
  // the last listed one (from cluster 2 for an empty list), one at a time,
  // and fails beyond the volume's last cluster.  Not bounded by size().
  bool read(uint64_t offset, void* buffer, uint64_t size) override;
  // Lends what the medium holds of the run of clusters at `offset`.
  bool borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
              std::shared_ptr<const void>& hold) override;
  // False for an empty list or one run of consecutive clusters.
  bool isFragmented() const;
  // Makes size() at most `size` (the file's own size within its clusters).
  void cutTo(uint64_t size) {
    if (Reader::size() > size) setSize(size);
  }
  const FatParameters& parameters() const { return params_; }
  const FatGeometry& geometry() const { return geometry_; }
  const std::vector<uint64_t>& clusters() const { return clusters_; }
  uint64_t clusterBytes() const { return geometry_.clusterBytes(); }

  // How the last open() built its list.
  enum ChainState { kChainNone = 0, kChainAllocated = 1, kChainFree = 2 };
  ChainState chainState() const { return chainState_; }

  // The cluster holding byte `index` * cluster bytes of the file: the list
  // entry, or past the list the clusters that follow the last listed one
  // (from cluster 2 for an empty list); 0 beyond the volume.
  uint64_t clusterAt(uint64_t index) const;

 private:
  void cutAtLoop();
  // How many clusters from list entry `index` on (at most `most`) follow
  // each other on the medium.
  uint64_t runAt(uint64_t index, uint64_t most) const;

  Reader* medium_;
  FatTable table_;
  FatParameters params_;
  FatGeometry geometry_;
  ChainState chainState_ = kChainNone;
  std::vector<uint64_t> clusters_;
};
