#pragma once
// The contents of an attribute of a parsed record: a resident value copied out
// of the record, or a non-resident attribute's runs decoded and read from the
// disk (the MFT's own data, $MFT:$BITMAP, a long $ATTRIBUTE_LIST).

#include <cstdint>
#include <vector>

#include "ntfs/cluster_number.h"
#include "ntfs/cluster_sink.h"
#include "ntfs/run_entry.h"
#include "platform/byte_buffer.h"
#include "platform/bytes.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

// The cap of a read that keeps what it reads and that no smaller cap bounds:
// 4 GiB, far beyond any attribute list or bitmap a sound volume holds.
inline constexpr uint64_t kMaxAttributeData = 0xFFFFFFFF;

class AttributeReader {
 public:
  // `device` (not owned; null: nothing non-resident can be read) holds the
  // volume at `partitionOffset`, in clusters of `clusterSize` bytes.
  AttributeReader(BlockDevice* device, uint64_t partitionOffset, uint32_t clusterSize)
      : device_(device), partitionOffset_(partitionOffset), clusterSize_(clusterSize) {}

  BlockDevice* device() const { return device_; }
  // The same volume, read through another view of its device.
  AttributeReader Through(BlockDevice* device) const {
    return AttributeReader(device, partitionOffset_, clusterSize_);
  }

  // Gives `out` the contents of the attribute whose header lies at
  // `attributeOffset` of `record` (a record the parser has fixed up). A
  // non-resident attribute is read up to its data size (never its
  // allocation beyond it), and `runs`, when given, then holds the runs read,
  // the last one cut to the clusters in use. Returns kErrorNotEnoughMemory
  // past `maxData`,
  // kErrorInvalidParameter without a cluster size, or a read's code; raises
  // BlockException when the attribute's header or run list leaves the record.
  ErrorCode Read(ByteView record, uint32_t attributeOffset, ClusterSink& out, uint64_t maxData,
                 std::vector<RunEntry>* runs = nullptr);
  ErrorCode Read(ByteView record, uint32_t attributeOffset, ByteBuffer& out, uint64_t maxData,
                 std::vector<RunEntry>* runs = nullptr);

 private:
  // Reads `byteCount` bytes from cluster `lcn` onward into `out`, in pieces
  // that a 32-bit count can ask for.
  ErrorCode ReadRun(Lcn lcn, ClusterSink& out, uint64_t byteCount);
  // Reads `byteCount` bytes from cluster `lcn` onward into `out`. Returns
  // kErrorHandleEof when the disk returns no bytes before the count is reached.
  ErrorCode ReadClusters(Lcn lcn, ClusterSink& out, uint32_t byteCount);

  BlockDevice* device_;
  uint64_t partitionOffset_;
  uint32_t clusterSize_;
};

}  // namespace skerry
