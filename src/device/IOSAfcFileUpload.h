#pragma once

#include "device/MobileDeviceAfc.h"

#include <QByteArray>
#include <QString>

class JobProgress;

// Copies local files onto the device.
class IOSAfcFileUpload
{
public:
    explicit IOSAfcFileUpload(JobProgress& progress);

    // Nothing happens when the local file does not exist or devicePath is
    // empty; without overwrite a non-empty device file stays. The device
    // folder is made when missing. Raises std::runtime_error on failure and
    // the cancellation signal when the job was closed before the copy began.
    void uploadFileThrow(mobiledevice_afc& afc, const QString& localPath, const QString& devicePath, bool overwrite);

private:
    JobProgress& m_progress;
    QByteArray m_buffer;
};
