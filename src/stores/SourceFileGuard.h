#pragma once

#include "model/ViberData.h"

#include <QStringList>

// A store names the files of its attachments, previews and pictures, and a
// crafted source can make one of them lead anywhere: a link inside a
// container to /etc/shadow, a Desktop path naming ~/.ssh/id_rsa. Such paths
// are cleared (and logged) right after loading, so no export, extraction or
// backup ever copies the file. Paths of files that do not exist stay: they
// name where a file would be and lead nowhere.

// Keeps only files that resolve, links followed, inside one of roots.
void g_dropFilesOutside(ViberData& data, const QStringList& roots);

// Viber Desktop: keeps only regular files inside the user's home folder and
// outside its hidden folders, Viber Desktop's own folder excepted.
void g_dropDesktopFilesOutsideHome(ViberData& data);
