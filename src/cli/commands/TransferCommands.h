#pragma once

#include "CliCommand.h"

// to-device --device UDID: merges the messages of the source (or of its
// --chat chats) into the Viber store of an attached iPhone.
class ToDeviceCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("to-device"); }
    QString description() const override { return QStringLiteral("Transfer the messages onto an iPhone."); }
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};

// to-itunes --backup DIR: merges the messages into the Viber store inside an
// iTunes backup folder, so that restoring the backup brings them onto an iPhone.
class ToITunesCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("to-itunes"); }
    QString description() const override { return QStringLiteral("Write the messages into an iTunes backup."); }
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
