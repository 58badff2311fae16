#pragma once

#include "device/IOSDevice.h"
#include "jobs/IOSDeviceViberLoad.h"

#include <QString>
#include <QTextStream>

// The attached iPhone with this identifier (loads the device backend).
// Raises std::runtime_error with a one-line text when there is none.
IOSDevice g_cliDeviceThrow(const QString& option, const QString& udid);

// Runs each job inline under a terminal progress line of its own; Ctrl-C
// cancels the running job. A failed job raises its text (one line); a
// cancelled one answers false.
DeviceJobRunner g_cliJobRunner(QTextStream& err, bool interactive);

// A device or job text made for an HTML message box, as one terminal line.
QString g_cliPlainLine(QString html);
