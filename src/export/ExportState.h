#pragma once

#include "model/ViberRecords.h"

#include <QHash>
#include <QString>

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
    bool load(const QString& path, int formatType);
    // Writes the state atomically; raises std::runtime_error on failure.
    void save(const QString& path, int formatType) const;

    // Whether the message comes after the newest one exported from its chat.
    bool isNew(const _ViberMsg& m) const;
    // Remembers the message when it is newer than its chat's mark.
    void note(const _ViberMsg& m);

    bool isEmpty() const { return m_marks.isEmpty(); }
    const QHash<qint64, Mark>& marks() const { return m_marks; }

private:
    QHash<qint64, Mark> m_marks; // by chat key
};
