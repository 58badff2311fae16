#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

class DataFolders;

// The source of messages a command reads, as chosen on the command line.
struct SourceChoice
{
    enum Kind { None, Container, LocalDb, ITunes, Desktop, Device, Demo };

    Kind kind = None;
    QString value;        // folder, database name, file or device id
    QString passwordFile; // for encrypted iTunes backups
    QString appContainer; // with --container: the app container of a group container
    QStringList chats;    // --chat keys; empty means every chat

    static QList<QCommandLineOption> options();
    // Reads the source options of a parsed command line. Fails with a text when
    // more than one source is given or an option lacks what it needs; a
    // --localdb name is looked up among the databases of folders.
    static bool fromParser(const QCommandLineParser& parser, const QStringList& known, const DataFolders& folders,
                           SourceChoice& choice, QString& error);
    static QString kindOption(Kind kind);
};
