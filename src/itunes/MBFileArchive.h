#pragma once

#include "itunes/MBDBItem.h"

#include <QByteArray>

// The "file" column of Manifest.db: an MBFile object archived by
// NSKeyedArchiver, holding what a Manifest.mbdb record holds.

// Fills item's size, protection class, wrapped key (4-byte class + wrapped
// key, as Manifest.mbdb keeps it), link target, mode, owner, inode and times
// from an archive; domain and path stay as they are. Raises
// std::runtime_error on an archive that is no MBFile or has no valid size.
void g_readMBFileArchive(const QByteArray& archive, _MBDBItem& item);

// The archive of item's fields, as iTunes writes it: a binary property list.
QByteArray g_writeMBFileArchive(const _MBDBItem& item);
