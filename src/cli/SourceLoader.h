#pragma once

#include "CliCommand.h"
#include "SourceSpec.h"
#include "model/ViberData.h"

#include <QDir>
#include <QString>

#include <memory>

class QTemporaryDir;

// Loads the data set of the source chosen on the command line, restricted to
// the --chat keys when any are given. Folders and files the user names
// (--container, --desktop) are never written to: their store files are copied
// into a private folder under the data folder's cache and read from there,
// and previews go there too. Keep the loader alive while the data set's file
// paths are used; the private copy goes with it.
class SourceLoader
{
public:
    explicit SourceLoader(SourceSpec spec);
    ~SourceLoader();
    SourceLoader(const SourceLoader&) = delete;
    SourceLoader& operator=(const SourceLoader&) = delete;

    // Whether pictures and videos without a preview get one (off for
    // listings, which never show them).
    void setMakePreviews(bool on) { m_makePreviews = on; }

    // Raises std::runtime_error with a text for the user.
    ViberData loadThrow();
    // For commands: loads into data, or prints the error through ctx and
    // returns false (the command then exits with status 1).
    bool loadFor(const CliContext& ctx, ViberData& data);

private:
    ViberData loadContainerThrow(const QString& dir, const QString& what);
    ViberData loadLocalDbThrow(const QString& name);
    ViberData loadDesktopThrow(const QString& file);
    // Copies file and its -wal, -shm and -journal companions into the private
    // folder; returns the copy's path.
    QString privateCopyThrow(const QString& file);
    void restrictToChatsThrow(ViberData& data) const;

    SourceSpec m_spec;
    bool m_makePreviews = false;
    std::unique_ptr<QTemporaryDir> m_copy;
};
