#pragma once

#include <QDir>
#include <QString>

// Where a Viber history lies in a folder of the user's: the store file, the
// app container whose Documents/ holds the attachment files, and for today's
// layout the app-group container (settings, contact pictures).
struct ViberContainers
{
    QString storeFile;   // absolute path of Contacts.data; empty: none found
    QDir appRoot;        // holds Documents/
    QString groupRoot;   // holds com.viber/; empty for the old layout
    bool hasAppRoot = true; // false: no app container found (no attachment files)

    bool found() const { return !storeFile.isEmpty(); }
    bool isGroup() const { return !groupRoot.isEmpty(); }
    QString settingsFile() const;
    QString iconsDir() const;
};

// Looks in dir for, in this order: an app-group container
// (com.viber/database/Contacts.data), both containers side by side as a
// backup is unpacked (AppDomainGroup-group.viber.share.container/ and
// AppDomain-com.viber/), an app container of the old layout
// (Documents/Contacts.data). appDir, when given, is the app container that
// goes with a group container. Nothing is found when none of them is there.
ViberContainers g_findViberContainers(const QString& dir, const QString& appDir = QString());
