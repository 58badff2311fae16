#pragma once

#include <QByteArray>
#include <QVariant>

// Decodes a property list written by NSKeyedArchiver: objects stored once in
// "$objects" and referred to by UIDs, from "$top" and from one another. The
// object named by $top.<topKey> comes back as plain values, every UID replaced
// by the object it names (at any depth, in dictionaries and arrays alike):
// dictionaries as QVariantMap, arrays as QVariantList, strings as QString,
// data as QByteArray, integers as qint64, reals as
// double, booleans as bool, dates as QDateTime (UTC). The "$null" object is an
// invalid QVariant.
//
// Raises std::runtime_error when the bytes are no keyed archive, when a UID
// lies outside "$objects", or when the graph nests too deep or expands too far
// (a crafted archive may refer to itself, or share objects so that the plain
// tree grows exponentially, or a large string or data is reached again and
// again: strings and data count, as bytes, at every place they appear, and
// an object reached through several UIDs is decoded once and shared).
QVariant g_decodeKeyedArchive(const QByteArray& bytes, const char* topKey = "root");
