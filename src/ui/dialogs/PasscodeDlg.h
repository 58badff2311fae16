#pragma once

#include <QDialog>

class BackupManifest;
class QLineEdit;

// Asks for the password of an encrypted backup and unlocks the backup with
// it. A wrong password empties the field and the dialog stays open; the
// password is never written anywhere.
class PasscodeDlg : public QDialog
{
    Q_OBJECT
public:
    // manifest is not owned and must outlive the dialog.
    explicit PasscodeDlg(BackupManifest* manifest, QWidget* parent = nullptr);

    // Runs the dialog; true when the backup was unlocked.
    bool execUnlock();

public slots:
    void btnOKPressed();

private:
    BackupManifest* m_manifest;
    QLineEdit* m_txtPasscode;
};
