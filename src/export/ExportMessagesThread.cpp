#include "export/ExportMessagesThread.h"

#include "export/ExportPaths.h"

#include "render/BubbleResources.h"
#include "export/ExportAppend.h"
#include "export/ExportState.h"
#include "export/ExportMessagesCsv.h"
#include "export/ExportMessagesHtml.h"
#include "export/ExportMessagesPdf.h"
#include "export/ExportMessagesTxt.h"
#include "model/ViberTime.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"


#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {
// What a format leaves out: a message outside any chat; and, but for JSON
// (which keeps every record), a call entry whose call is missing: it has
// nothing to show. The count the user reads is of what was written.
bool isWritten(const _ViberMsg& m, ExportFormat type)
{
    return m.chat && (type == ExportFormat::Json || m.type != MSG_TYPE_CALL || m.call);
}
} // namespace

ExportMessagesThread::ExportMessagesThread(const QList<_ViberMsg*>& msgs, QString path, ExportFormat type,
                                           JobProgress& progress, const ExportOptions& options, QObject* parent)
    : QThread(parent), m_msgs(msgs), m_path(std::move(path)), m_type(type), m_progress(progress), m_options(options)
{
}

void ExportMessagesThread::run()
{
    runJobProtocol(m_progress, [this] {
        try {
            return exportAll();
        } catch (...) {
            // The open page goes first: its unfinished file sits in a
            // folder that is removed when this export made it.
            m_htmlWriter.reset();
            m_output.removeAll();
            throw;
        }
    });
}

QString ExportMessagesThread::chatFileName(const _ViberChat* chat, const QString& suffix)
{
    if (!chat)
        return QStringLiteral("unknown-chat") + suffix;
    static const QRegularExpression invisible(QStringLiteral("[\\t\\n\\r\\x{202A}\\x{00A0}\\x{202C}]"));
    QString base = g_chatTitle(*chat);
    base.remove(invisible);
    base = g_formatFileName(base);
    // Keep the name within what file systems accept (255 bytes), cut once
    // at the last whole character: shortening character by character and
    // encoding again each time takes minutes for a very long name.
    constexpr qsizetype kMaxNameBytes = 200;
    const QByteArray utf8 = base.toUtf8();
    if (utf8.size() > kMaxNameBytes) {
        qsizetype cut = kMaxNameBytes;
        while (cut > 0 && (uchar(utf8.at(cut)) & 0xC0) == 0x80)
            --cut; // a continuation byte: the character began before it
        base = QString::fromUtf8(utf8.constData(), cut);
    }
    if (base.isEmpty() || base.startsWith(u'.'))
        base.prepend(QStringLiteral("chat"));
    return base + suffix;
}

QString ExportMessagesThread::jsonAttachmentDir(const QString& jsonPath)
{
    const QFileInfo info(jsonPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-files"));
}

QString ExportMessagesThread::uniqueChatFileName(const _ViberChat* chat, const QString& suffix)
{
    // Two chats with the same members' names must not overwrite each other.
    return reserveName(chatFileName(chat, suffix), suffix);
}

QString ExportMessagesThread::reserveName(const QString& wanted, const QString& suffix)
{
    QString name = wanted;
    const QString stem = wanted.left(wanted.size() - suffix.size());
    for (int n = 1; m_usedNames.contains(name.toLower()); ++n)
        name = stem + u'(' + QString::number(n) + u')' + suffix; // a stem may hold "%1" itself
    m_usedNames.insert(name.toLower());
    return name;
}

FormatExportPtr<_ViberMsg> ExportMessagesThread::openWriter(const _ViberChat* chat)
{
    FormatExportPtr<_ViberMsg> writer;
    switch (m_type) {
    case ExportFormat::Txt: {
        auto txt = std::make_shared<ExportMessagesTxt>(m_path);
        txt->setKeepEmoji(m_options.keepEmoji);
        writer = txt;
        break;
    }
    case ExportFormat::Csv: {
        auto csv = std::make_shared<ExportMessagesCsv>(m_path);
        csv->setKeepEmoji(m_options.keepEmoji);
        writer = csv;
        break;
    }
    case ExportFormat::Json: {
        QList<const _ViberChat*> chats;
        QSet<const _ViberChat*> seen;
        for (const _ViberMsg* m : std::as_const(m_msgs)) {
            if (m->chat && !seen.contains(m->chat)) {
                seen.insert(m->chat);
                chats << m->chat;
            }
        }
        std::sort(chats.begin(), chats.end(), [](const _ViberChat* a, const _ViberChat* b) { return a->id < b->id; });
        writer = std::make_shared<ExportMessagesJson>(m_path, chats, m_options.jsonSource,
                                                      m_options.copyAttachments ? jsonAttachmentDir(m_appendTo.isEmpty() ? m_path : m_appendTo)
                                                                         : QString(),
                                                      &m_output);
        break;
    }
    case ExportFormat::Html: {
        // Pages of the chat are named when it starts (startHtmlChat). A page
        // being continued is written beside itself and replaces it at the end.
        QString name = m_pageNames.value(m_page);
        if (m_page == m_carryPage) {
            const QString page = QDir(m_path).filePath(name);
            name = QLatin1Char('.') + name + QStringLiteral(".continued");
            m_replacements.append({QDir(m_path).filePath(name), page});
        }
        auto html = std::make_shared<ExportMessagesHtml>(m_path, name, &m_output, m_htmlFiles.get());
        if (m_page == m_carryPage)
            html->setCarried(m_carryBody, m_carryDay);
        html->setNavigation(HtmlChatPages::navigation(m_pageNames, m_page));
        html->setTitle(chat ? g_chatTitle(*chat) : QString());
        writer = html;
        break;
    }
    case ExportFormat::Pdf: {
        // The PDF writer opens its file when it is made.
        const QString file = QDir(m_path).filePath(uniqueChatFileName(chat, QStringLiteral(".pdf")));
        const bool existed = QFileInfo::exists(file);
        writer = std::make_shared<ExportMessagesPdf>(file, chat ? g_chatTitle(*chat) : QString());
        if (!existed)
            m_output.addFile(file);
        break;
    }
    }
    // Text and CSV files are written under a temporary name and renamed when
    // complete, so they need no removal, and a file that was at the path
    // before a failed export stays as the user had it.
    writer->init();
    return writer;
}

QString ExportMessagesThread::exportAll()
{
    m_progress.invokeUpdateProgress(ids("IDS_EXPORTING_MESSAGES_TO_FILE"), -1, QString());
    const bool perChat = m_type == ExportFormat::Pdf || m_type == ExportFormat::Html;
    if (perChat) {
        if (!QFileInfo(m_path).isDir() && !m_output.makeFolder(m_path))
            throw std::runtime_error(QStringLiteral("Cannot create the folder %1.").arg(m_path).toStdString());
    }
    m_msgs = m_options.range.filter(m_msgs);

    // Since-last: only messages after what the earlier run wrote, written to a
    // file of their own and added to the earlier output once complete; an
    // HTML folder gets them on its chats' last pages and on new pages.
    ExportState& state = m_state;
    QString statePath;
    if (m_options.sinceLast) {
        if (!ExportOptions::sinceLastSupported(m_type))
            throw std::runtime_error("Adding only new messages works for text, CSV, JSON and HTML exports.");
        const bool folder = m_type == ExportFormat::Html;
        statePath = ExportState::pathFor(m_path, folder);
        const bool earlier =
            state.load(statePath, m_type) &&
            (folder ? QFileInfo(QDir(m_path).filePath(QLatin1String(HtmlChatPages::kIndexName))).isFile() &&
                          state.htmlPagesPresent(m_path)
                    // The very file the earlier run wrote: not a link put
                    // in its place, not a file changed since (then
                    // everything is written again, replacing it).
                    : state.matchesOutput(m_path));
        if (earlier) {
            QList<_ViberMsg*> fresh;
            for (_ViberMsg* m : std::as_const(m_msgs)) {
                if (state.isNew(*m))
                    fresh << m;
            }
            m_msgs = fresh;
            if (m_msgs.isEmpty())
                return QStringLiteral("Nothing new since the last export to %1; nothing was changed.")
                    .arg(QFileInfo(m_path).fileName());
            if (folder) {
                m_continueHtml = true;
            } else {
                m_appendTo = m_path;
                m_path = g_getValidFilePath(m_path + QStringLiteral(".new"));
            }
        } else {
            state = ExportState();
        }
    }
    g_sortByChatAndTime(m_msgs, perChat);
    if (m_type == ExportFormat::Html) {
        m_usedNames.insert(QLatin1String(HtmlChatPages::kIndexName));
        if (m_continueHtml) {
            // The earlier pages keep their names; new chats and pages avoid them.
            for (auto it = state.htmlChats().cbegin(); it != state.htmlChats().cend(); ++it) {
                for (const QString& page : it.value().pages)
                    m_usedNames.insert(page.toLower());
                const HtmlChatPages::IndexEntry entry{it.value().title, it.value().pages.first(), it.value().messages,
                                                      qint64(it.value().pages.size()), it.value().first,
                                                      state.marks().value(it.key()).date};
                m_index.insert(it.key(), entry);
            }
        }
        for (const _ViberMsg* m : std::as_const(m_msgs)) {
            if (isWritten(*m, m_type))
                ++m_chatCounts[m->chat];
        }
    }

    const qint64 total = m_msgs.size();
    qint64 count = 0;
    PercentReporter reporter(m_progress);
    FormatExportPtr<_ViberMsg> writer;
    const _ViberChat* writerChat = nullptr;
    for (_ViberMsg* m : std::as_const(m_msgs)) {
        m_progress.throwIfClosed();
        if (!isWritten(*m, m_type))
            continue;
        ++count;
        reporter.report(count, total, QStringLiteral("Messages: %1/%2"));
        if (!perChat) {
            if (!writer)
                writer = openWriter(nullptr);
        } else if (m_type == ExportFormat::Html) {
            if (!m_htmlFiles) {
                m_htmlFiles = std::make_unique<HtmlExportFiles>(m_path, &m_output);
                m_htmlFiles->copyStyle();
            }
            writeHtml(*m);
            continue;
        } else if (!writer || m->chat != writerChat) {
            if (writer)
                writer->uninit();
            writer = openWriter(m->chat);
            writerChat = m->chat;
        }
        writer->write(*m);
    }
    if (writer)
        writer->uninit();
    if (m_type == ExportFormat::Html)
        finishHtml();
    if (m_options.sinceLast) {
        // A name a failed export reserved for a temporary page is removed with
        // it; a complete one has been renamed already.
        if (!m_appendTo.isEmpty()) {
            if (m_type == ExportFormat::Json)
                g_appendJsonExport(m_appendTo, m_path);
            else
                g_appendTableExport(m_appendTo, m_path);
            QFile::remove(m_path);
            m_path = m_appendTo;
        }
        for (const _ViberMsg* m : std::as_const(m_msgs))
            state.note(*m);
        if (m_type != ExportFormat::Html)
            state.noteOutput(m_path);
        state.save(statePath, m_type);
    }
    return ids("IDS_SUC_EXPORT_%1_MMS", count) + g_failedCopiesNote(m_output.failedCopies());
}

void ExportMessagesThread::writeHtml(_ViberMsg& m)
{
    if (!m_htmlWriter || m.chat != m_htmlChat) {
        closeHtmlChat();
        startHtmlChat(m);
    } else if (m_options.pageSize > 0 && m_onPage >= m_options.pageSize) {
        m_htmlWriter->uninit();
        m_htmlWriter.reset();
        ++m_page;
        m_onPage = 0;
        m_htmlWriter = openWriter(m.chat);
    }
    ++m_onPage;
    m_index[m.chat->id].last = m.date;
    m_htmlWriter->write(m);
}

void ExportMessagesThread::startHtmlChat(const _ViberMsg& m)
{
    const qint64 count = m_chatCounts.value(m.chat);
    m_htmlChat = m.chat;
    m_carryPage = -1;
    m_carryBody.clear();
    m_onPage = 0;
    const auto prior = m_state.htmlChats().constFind(m.chat->id);
    if (m_continueHtml && prior != m_state.htmlChats().cend()) {
        // The chat goes on: its last page is filled up first (written anew
        // under a temporary name), then new pages follow.
        m_pageNames = prior->pages;
        m_oldPageCount = m_pageNames.size();
        m_page = m_oldPageCount;
        const QString last = QDir(m_path).filePath(m_pageNames.last());
        if ((m_options.pageSize <= 0 || prior->onLastPage < m_options.pageSize) && HtmlChatPages::readPageBody(last, m_carryBody)) {
            m_page = m_oldPageCount - 1;
            m_carryPage = m_page;
            m_onPage = prior->onLastPage;
            m_carryDay = dtFromTimestamp(m_state.marks().value(m.chat->id).date).date();
        }
        const qint64 pages = m_page + HtmlChatPages::pageCount(m_onPage + count, m_options.pageSize);
        for (qint64 p = m_pageNames.size(); p < pages; ++p)
            m_pageNames << reserveName(HtmlChatPages::pageName(m_pageNames.first(), p), QStringLiteral(".html"));
        HtmlChatPages::IndexEntry& entry = m_index[m.chat->id];
        entry.title = g_chatTitle(*m.chat);
        entry.messages = prior->messages + count;
        entry.pages = pages;
    } else {
        const qint64 pages = HtmlChatPages::pageCount(count, m_options.pageSize);
        const QString first = uniqueChatFileName(m.chat, QStringLiteral(".html"));
        m_pageNames = QStringList{first};
        for (qint64 p = 1; p < pages; ++p)
            m_pageNames << reserveName(HtmlChatPages::pageName(first, p), QStringLiteral(".html"));
        m_page = 0;
        m_oldPageCount = 0;
        m_index.insert(m.chat->id, HtmlChatPages::IndexEntry{g_chatTitle(*m.chat), first, count, pages, m.date, m.date});
    }
    m_htmlWriter = openWriter(m.chat);
}

void ExportMessagesThread::closeHtmlChat()
{
    if (!m_htmlWriter)
        return;
    m_htmlWriter->uninit();
    m_htmlWriter.reset();
    const HtmlChatPages::IndexEntry& entry = m_index[m_htmlChat->id];
    m_state.setHtmlChat(m_htmlChat->id, {m_pageNames, m_onPage, entry.messages, entry.first, entry.title});
    // Pages written before keep their messages; their links change when the
    // chat now has more pages than then.
    if (m_oldPageCount > 0 && m_pageNames.size() != m_oldPageCount)
        m_relinks.append({m_pageNames, m_oldPageCount, m_carryPage});
}

void ExportMessagesThread::finishHtml()
{
    closeHtmlChat();
    if (m_index.isEmpty())
        return;
    // Everything new is written: now the earlier pages change, last of all
    // the index (the state file follows).
    for (const auto& [temporary, page] : std::as_const(m_replacements)) {
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(page).constData()) != 0)
            throw std::runtime_error(QStringLiteral("Cannot replace %1.").arg(page).toStdString());
    }
    for (const Relink& r : std::as_const(m_relinks)) {
        for (qint64 p = 0; p < r.oldCount; ++p) {
            if (p != r.carried)
                HtmlChatPages::replaceNavigation(QDir(m_path).filePath(r.pages.at(p)),
                                                 HtmlChatPages::navigation(r.pages, p));
        }
    }
    const QString index = QDir(m_path).filePath(QLatin1String(HtmlChatPages::kIndexName));
    if (!QFileInfo::exists(index))
        m_output.addFile(index);
    HtmlChatPages::writeIndex(index, m_index.values());
}
