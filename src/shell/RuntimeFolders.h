#pragma once

#include <QString>
#include <QStringList>

// Where the programs find the files they read at run time. A build tree keeps
// the executables, the device backend plugins and the bubble artwork together
// in bin/; an installed prefix spreads them over bin/, lib/ferrowick/ and
// share/ferrowick/. Both are reached from the executable's own folder, so an
// unpacked package works wherever it lies. Every caller that needs one of
// these folders asks here, so the two layouts cannot drift apart.
enum class RuntimeFolder {
    Artwork, // vbbb/, emoji/ and vb_emoji/: the bubble style sheet and pictures
    Plugins, // the device backend plugins
};

// The folders where kind may lie, most likely first: the executable's folder
// (a build tree), then the installed place relative to it. exeDir defaults
// to the running program's folder.
QStringList g_runtimeFolderCandidates(RuntimeFolder kind, const QString& exeDir = QString());

// The folder of kind that this program uses. FERROWICK_BUBBLE_DIR overrides
// the artwork folder (tests and tools point it at a copy). Otherwise the first
// candidate that holds the files; the first candidate when none does, so that
// what is missing is reported where a build puts it.
QString g_runtimeFolder(RuntimeFolder kind, const QString& exeDir = QString());
