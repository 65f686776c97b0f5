#pragma once
// The $ATTRIBUTE_LIST of a record whose attributes outgrew it, and what the
// directory table needs of it: which record holds a directory's $FILE_NAME.

#include <cstdint>

#include "ntfs/attribute_header.h"
#include "ntfs/attribute_reader.h"
#include "ntfs/mft_record.h"
#include "platform/byte_buffer.h"
#include "platform/bytes.h"

namespace skerry {

// Attribute list entry fields.
inline constexpr uint64_t kEntryLength = 4;
inline constexpr uint64_t kEntryReference = 16;
inline constexpr uint64_t kEntryMinimum = 26;
// An attribute list describes at most one record's worth of attributes per
// extension record; far beyond any sound volume's, and small enough to read.
inline constexpr uint64_t kMaxAttributeListSize = 256 * 1024;

// Steps `offset` to the next attribute of `type`: after the attribute at
// `offset`, or the first one when `offset` is 0. False when there is none,
// or the attributes run out of the record first.
bool FindNextAttribute(ByteView record, uint32_t type, uint32_t& offset);

// The attribute's value size: a resident value's length, a non-resident
// attribute's data size. False when the header does not fit in the record.
bool AttributeValueSize(ByteView record, uint32_t offset, uint64_t& size);

// The record number of the last entry of `type` in an attribute list that
// names a record other than `self`; false when there is none. Entries that do
// not fit in the list end it.
bool LastListedRecord(ByteView list, uint32_t type, uint64_t self, uint64_t& record);

// The base record reference of a record's header: 0 for a base record.
uint64_t BaseRecordReference(ByteView record);

// The number of the record that holds the $FILE_NAME of `record` (record
// `recordNumber`, just parsed, which holds none itself), as its
// $ATTRIBUTE_LIST names it; the list is read into `list` through `reader`
// when it is not resident. False when the record has no readable list or
// the list names no such record.
bool FindNameExtension(const MFTRecord& record, uint64_t recordNumber, AttributeReader& reader,
                       ByteBuffer& list, uint64_t& extension);

}  // namespace skerry
