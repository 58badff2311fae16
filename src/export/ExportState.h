#pragma once

#include "export/ExportOptions.h"

#include "model/ViberRecords.h"

#include <QHash>
#include <QString>
#include <QStringList>

// What an earlier export to the same place wrote: per chat, the newest message
// (its time and key), so that a later run writes only what came after it.
// Kept as a small JSON file beside the output.
class ExportState
{
public:
    struct Mark
    {
        double date = 0;
        qint64 key = 0;
    };

    // The state file of an output: ".<name>.ferrowick-state" in the folder that
    // holds an output file, ".ferrowick-state" inside an output folder.
    static QString pathFor(const QString& output, bool outputIsFolder);

    // Reads a state file; false when it is missing, unreadable or of another
    // format (the caller then exports everything again).
    bool load(const QString& path, ExportFormat format);
    // Writes the state atomically; raises std::runtime_error on failure.
    void save(const QString& path, ExportFormat format) const;

    // Whether the message comes after the newest one exported from its chat.
    bool isNew(const _ViberMsg& m) const;
    // Remembers the message when it is newer than its chat's mark.
    void note(const _ViberMsg& m);

    bool isEmpty() const { return m_marks.isEmpty(); }
    const QHash<qint64, Mark>& marks() const { return m_marks; }

    // An HTML export's pages of one chat, so that a later run can fill its
    // last page, add pages and list the chat on the index again.
    struct HtmlChat
    {
        QStringList pages;    // file names inside the output folder, first page first
        qint64 onLastPage = 0; // messages on the last page
        qint64 messages = 0;
        double first = 0;      // record time of the chat's oldest exported message
        QString title;
    };
    const QHash<qint64, HtmlChat>& htmlChats() const { return m_html; }
    void setHtmlChat(qint64 chatKey, const HtmlChat& chat) { m_html.insert(chatKey, chat); }
    // Whether every page named in the state is still inside folder.
    bool htmlPagesPresent(const QString& folder) const;

    // The output file an export wrote (text, CSV, JSON): its size and a
    // digest of its last bytes, so that a later run appends only to that
    // very file. False when path is no regular file (a link is none).
    bool noteOutput(const QString& path);
    // Whether path is still the file noteOutput saw: a regular file, not a
    // link, of the same size and last bytes. A state without that record
    // (older ones) matches nothing.
    bool matchesOutput(const QString& path) const;

private:
    QHash<qint64, Mark> m_marks; // by chat key
    QHash<qint64, HtmlChat> m_html;
    qint64 m_outputSize = -1;
    QByteArray m_outputTail; // hex SHA-256 of the last kTailBytes
};
