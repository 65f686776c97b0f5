#pragma once
// libntfs-3g's headers, which are C and carry no configuration of their own.

extern "C" {
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/lcnalloc.h>
#include <ntfs-3g/logging.h>
#include <ntfs-3g/security.h>
#include <ntfs-3g/types.h>
#include <ntfs-3g/volume.h>
}
