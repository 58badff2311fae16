#pragma once

#include <QString>

// One CSV field: inner double quotes doubled, and the whole field quoted when
// it holds a double quote, a comma or a line feed.
QString g_csvFormat(const QString& field);
