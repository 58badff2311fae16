#pragma once

#include <QDir>
#include <QHash>
#include <QSet>
#include <QString>

class ExportOutput;

// The "files" folder of one HTML export: the pages' style and bubble pieces,
// the emoji pictures the pages show, and copies of attachments. Each source
// is copied once per export however many messages use it, and a file an
// earlier export left there with the same bytes is used again, so exporting
// twice into one folder adds nothing.
class HtmlExportFiles
{
public:
    // folder is the export's folder; "files" inside it is made when missing.
    // Raises std::runtime_error when it cannot be made.
    HtmlExportFiles(const QString& folder, ExportOutput* output);

    // Copies the style sheet and bubble pieces.
    void copyStyle();
    // Copies one picture of the bubble folder ("emoji/1F600.png"); false when
    // the application has no such picture.
    bool usePicture(const QString& relative);
    // Copies an attachment; returns the page's reference to the copy
    // ("files/<name>", percent-encoded), empty when nothing could be copied.
    QString attachment(const QString& path);

private:
    QString copyOnce(const QString& src, const QDir& into);

    QDir m_files;
    ExportOutput* m_output;
    QHash<QString, QString> m_copies; // source path -> copy
    QHash<QString, bool> m_pictures;  // bubble picture -> available
};

// Whether two files hold the same bytes.
bool g_sameFileContent(const QString& a, const QString& b);
