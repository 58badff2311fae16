#include "support/ExportTestData.h"
#include "render/BubblePainter.h"
#include "render/BubbleResources.h"
#include "export/ExportMessagesPdf.h"
#include "export/ExportMessagesThread.h"
#include "render/ViberMsgPrinterPrivacy.h"
#include "model/EmojiText.h"
#include "model/ViberRecords.h"
#include "model/ViberTime.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QProcess>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <stdexcept>
#include <QtEndian>

#include <memory>
#include <stdexcept>
#include <vector>

using Item = ViberMsgPrinterPrivacy::Item;

namespace {
// Owns the records of one test's messages.
struct History
{
    std::vector<std::unique_ptr<_ViberEntity>> owned;

    template <typename T> T* make()
    {
        owned.push_back(std::make_unique<T>());
        return static_cast<T*>(owned.back().get());
    }

    _ViberChat* chat(bool group)
    {
        auto* c = make<_ViberChat>();
        if (group)
            c->groupId = QStringLiteral("g1");
        return c;
    }

    _ViberPerson* person(const QString& name)
    {
        auto* p = make<_ViberPerson>();
        p->name = name;
        p->number = QStringLiteral("+491234");
        return p;
    }

    _ViberMsg* msg(_ViberChat* chat, int day, int hour, int type, const QString& text = QString(),
                   _ViberPerson* from = nullptr)
    {
        auto* m = make<_ViberMsg>();
        m->chat = chat;
        m->type = type;
        m->text = text;
        m->person = from;
        m->state = from ? MSG_STATE_RECEIVED : MSG_STATE_SENT;
        m->date = double(QDateTime(QDate(2021, 3, day), QTime(hour, 0), Qt::UTC).toSecsSinceEpoch()
                         - kCoreDataEpochUnix);
        return m;
    }

    _ViberMsg* withAtta(_ViberMsg* m, const QString& thumb, const QString& mediaId = QString())
    {
        auto* a = make<_ViberAtta>();
        a->thumbPath = thumb;
        a->mediaId = mediaId;
        a->msg = m;
        m->atta = a;
        return m;
    }
};

int countPdfPages(const QByteArray& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int n = 0;
    for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next())
        ++n;
    return n;
}

QList<Item> itemsOf(const QList<Item>& all, Item::Kind kind)
{
    QList<Item> out;
    for (const Item& i : all)
        if (i.kind == kind)
            out.append(i);
    return out;
}

quint32 crc32(const QByteArray& data)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A valid small PNG whose header claims a gigantic size.
QByteArray pngClaimingSize(quint32 w, quint32 h)
{
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    {
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
    }
    // IHDR data starts at 16 (8 signature + 4 length + 4 type), CRC at 29.
    qToBigEndian(w, bytes.data() + 16);
    qToBigEndian(h, bytes.data() + 20);
    qToBigEndian(crc32(bytes.mid(12, 17)), bytes.data() + 29);
    return bytes;
}
} // namespace

class TestPrinter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    // Prints msgs onto a PDF writer in the export's page setup and returns the layout.
    QList<Item> layoutOf(const QList<_ViberMsg*>& msgs, ViberMsgPrinterPrivacy& printer,
                         const QString& file = QStringLiteral("layout.pdf"))
    {
        QPdfWriter writer(m_tmp.filePath(file));
        writer.setResolution(96);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 20, 20, 20), QPageLayout::Point));
        printer.setRecordLayout(true);
        printer.reset(&writer);
        for (_ViberMsg* m : msgs)
            printer.print(*m);
        printer.end();
        return printer.layout();
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        qputenv("FERROWICK_BUBBLE_DIR", FERROWICK_TEST_BUBBLE_DIR);
        QVERIFY(m_tmp.isValid());
    }

    void resourcesBesideTheExecutable()
    {
        const QDir dir(g_bubbleSrcDir());
        for (const QString stem : {"r", "bb1", "bb2"})
            for (int i = 1; i <= 9; ++i)
                QVERIFY2(!QImage(dir.filePath(QStringLiteral("vbbb/%1_%2.png").arg(stem).arg(i, 2, 10, QLatin1Char('0'))))
                              .isNull(),
                         qPrintable(stem));
        QVERIFY(!QImage(dir.filePath(QStringLiteral("vbbb/voice.png"))).isNull());
        QVERIFY(!QImage(dir.filePath(QStringLiteral("vbbb/empty_photo.jpg"))).isNull());
        for (const QString& token : viber_emojicode_set().keys())
            QVERIFY2(!QImage(dir.filePath(QStringLiteral("vb_emoji/") + token + QStringLiteral(".png"))).isNull(),
                     qPrintable(token));

        QFile css(dir.filePath(QStringLiteral("vbbb/style.css")));
        QVERIFY(css.open(QIODevice::ReadOnly));
        const QString sheet = QString::fromUtf8(css.readAll());
        for (const char* cls : {"bb1", "bb2", "r", "bb_bg", "top_left", "top_middle", "top_right", "middle_left",
                                "middle_middle", "middle_right", "bottom_left", "bottom_middle", "bottom_right",
                                "handle", "bb_time", "clear"}) {
            const QRegularExpression selector(QStringLiteral("\\.%1(?![\\w-])").arg(QLatin1String(cls)));
            QVERIFY2(sheet.contains(selector), cls);
        }
        // Every picture the sheet names exists.
        static const QRegularExpression url(QStringLiteral("url\\(([^)]+)\\)"));
        for (auto it = url.globalMatch(sheet); it.hasNext();) {
            const QString file = it.next().captured(1);
            QVERIFY2(QFile::exists(dir.filePath(QStringLiteral("vbbb/") + file)), qPrintable(file));
        }
    }

    void nineSliceKeepsCornersAndStretchesEdges()
    {
        QImage nine[9];
        for (int i = 0; i < 9; ++i) {
            nine[i] = QImage(4, 4, QImage::Format_RGB32);
            nine[i].fill(QColor(i * 25, 255 - i * 25, 100));
        }
        const int border[4] = {5, 7, 3, 9}; // top, right, bottom, left
        QImage canvas(60, 40, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter p(&canvas);
        print_bubble(p, QRect(0, 0, 60, 40), nine, border);
        p.end();
        auto piece = [&](int x, int y) { return canvas.pixelColor(x, y); };
        QCOMPARE(piece(0, 0), nine[0].pixelColor(0, 0));
        QCOMPARE(piece(8, 4), nine[0].pixelColor(0, 0));
        QCOMPARE(piece(9, 5), nine[4].pixelColor(0, 0));
        QCOMPARE(piece(30, 0), nine[1].pixelColor(0, 0));
        QCOMPARE(piece(53, 4), nine[2].pixelColor(0, 0));
        QCOMPARE(piece(52, 20), nine[4].pixelColor(0, 0));
        QCOMPARE(piece(53, 20), nine[5].pixelColor(0, 0));
        QCOMPARE(piece(0, 37), nine[6].pixelColor(0, 0));
        QCOMPARE(piece(30, 39), nine[7].pixelColor(0, 0));
        QCOMPARE(piece(59, 39), nine[8].pixelColor(0, 0));
    }

    void textBubbleSizes()
    {
        QVERIFY(text_bubble(QStringLiteral("x"), 400, 3).isNull());
        QVERIFY(text_bubble(QStringLiteral("x"), 10, BUBBLE_OWN).isNull());
        const QSize small = bubbleSize(text_bubble(QStringLiteral("."), 400, BUBBLE_RECEIVED));
        QCOMPARE(small.width(), 150);
        QVERIFY(small.height() >= 16);
        const QSize withTime = bubbleSize(text_bubble(QStringLiteral("."), 400, BUBBLE_RECEIVED, "10:00 am"));
        const QSize withName = bubbleSize(text_bubble(QStringLiteral("."), 400, BUBBLE_RECEIVED, "10:00 am", "Anna"));
        QVERIFY(withTime.height() > small.height());
        QVERIFY(withName.height() > withTime.height());
        // Wrapping keeps the bubble within its width, even for one endless word.
        const QSize longWord = bubbleSize(text_bubble(QString(3000, QLatin1Char('w')), 400, BUBBLE_OWN));
        QVERIFY(longWord.width() <= 400);
        QVERIFY(longWord.height() > 200);
    }

    void veryLongTextsAreCutIntoPagesWithoutLosingOrBreakingCharacters()
    {
        // Long runs without a space, with a surrogate pair on the spot where
        // the layout cuts its pieces, then words and line breaks.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QString text = QString(9999, u'x') + emoji + QString(25000, u'y') + QStringLiteral("\n");
        for (int i = 0; i < 3000; ++i)
            text += QStringLiteral("word%1 ").arg(i) + (i % 40 == 0 ? QStringLiteral("\r\n") : QString());
        const int pageHeight = 1000;
        const QStringList pieces = split_text_bubble(text, 400, BUBBLE_OWN, QStringLiteral("10:00"), QString(), pageHeight);
        QVERIFY(pieces.size() > 20);
        QString joined;
        for (const QString& piece : pieces) {
            QVERIFY(!piece.isEmpty());
            QVERIFY(!piece.front().isLowSurrogate() && !piece.back().isHighSurrogate());
            const int h = bubbleSize(text_bubble(piece, 400, BUBBLE_OWN, QStringLiteral("10:00"))).height();
            QVERIFY2(h <= pageHeight, qPrintable(QStringLiteral("%1 characters at %2: %3 pixels high").arg(piece.size()).arg(joined.size()).arg(h)));
            joined += piece;
        }
        joined.replace(QChar::LineSeparator, QLatin1Char('\n'));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QCOMPARE(joined, text);
    }

    void pdfHasOnePageObjectPerPrintedPage()
    {
        History h;
        _ViberChat* chat = h.chat(false);
        const QString path = m_tmp.filePath(QStringLiteral("chat.pdf"));
        int pages = 0;
        {
            ExportMessagesPdf pdf(path);
            pdf.init();
            for (int i = 0; i < 80; ++i)
                pdf.write(*h.msg(chat, 1 + i / 20, i % 20, MSG_TYPE_TEXT, QStringLiteral("message %1").arg(i)));
            pdf.uninit();
            pages = pdf.printer().page();
        }
        QVERIFY(pages > 1);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        QCOMPARE(countPdfPages(bytes), pages);

        // A chat writer that prints nothing still leaves a valid one-page file.
        const QString empty = m_tmp.filePath(QStringLiteral("empty.pdf"));
        {
            ExportMessagesPdf pdf(empty);
            pdf.uninit();
        }
        QFile e(empty);
        QVERIFY(e.open(QIODevice::ReadOnly));
        QCOMPARE(countPdfPages(e.readAll()), 1);
    }

    // A full disk: the system's reason, not "the file is empty after writing".
    void pdfOnAFullDiskSaysWhy()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        History h;
        _ViberChat* group = h.chat(true);
        QString error;
        try {
            ExportMessagesPdf pdf(QStringLiteral("/dev/full"));
            pdf.init();
            pdf.write(*h.msg(group, 2, 9, MSG_TYPE_TEXT, QStringLiteral("no room"), h.person("Zelda")));
            pdf.uninit();
        } catch (const std::runtime_error& e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(error.contains(qt_error_string(ENOSPC)), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("/dev/full")), qPrintable(error));
    }

    // The words of a message can be found in the PDF (pdftotext reads only
    // text, not pictures of text), names and times included.
    void pdfTextCanBeFoundAndCopied()
    {
        History h;
        _ViberChat* group = h.chat(true);
        const QString path = m_tmp.filePath(QStringLiteral("searchable.pdf"));
        {
            ExportMessagesPdf pdf(path);
            pdf.init();
            pdf.write(*h.msg(group, 2, 9, MSG_TYPE_TEXT, QStringLiteral("needle in a haystack"), h.person("Zelda")));
            pdf.write(*h.msg(group, 2, 10, MSG_TYPE_TEXT, QStringLiteral("Grüße aus Köln")));
            pdf.write(*h.msg(group, 3, 11, MSG_TYPE_SYSTEM, QStringLiteral("anything")));
            pdf.uninit();
        }
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        QVERIFY2(p.waitForFinished(60000), "pdftotext (poppler-utils) is needed");
        QCOMPARE(p.exitCode(), 0);
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        for (const char* wanted : {"needle in a haystack", "Grüße aus Köln", "Zelda", "09:00 am", "02 Mar 2021"})
            QVERIFY2(text.contains(QString::fromUtf8(wanted)), qPrintable(QString::fromUtf8(wanted) + u'|' + text));
    }

    // A PDF is named after its chat as the HTML pages are, headed by the
    // chat's name and titled with it.
    void pdfPagesAreNamedAndHeadedByTheirChat()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        const QString folder = out.filePath(QStringLiteral("chats-pdf"));
        RecordingProgress p;
        ExportMessagesThread job(t.data.messages(), folder, ExportFormat::Pdf, p);
        job.run();
        QVERIFY2(p.errors().isEmpty(), qPrintable(p.errors().join(u';')));
        const QString group = QDir(folder).filePath(QStringLiteral("Hikers.pdf"));
        QVERIFY2(QFileInfo::exists(group), qPrintable(QDir(folder).entryList().join(u',')));
        const auto run = [](const QString& program, const QStringList& args) {
            QProcess proc;
            proc.start(program, args);
            if (!proc.waitForFinished(60000) || proc.exitCode() != 0)
                return QString();
            return QString::fromUtf8(proc.readAllStandardOutput());
        };
        const QString text = run(QStringLiteral("pdftotext"), {group, QStringLiteral("-")});
        QVERIFY2(text.trimmed().startsWith(QStringLiteral("Hikers")), qPrintable(text));
        const QString info = run(QStringLiteral("pdfinfo"), {group});
        static const QRegularExpression title(QStringLiteral("^Title:\\s+Hikers$"), QRegularExpression::MultilineOption);
        QVERIFY2(title.match(info).hasMatch(), qPrintable(info));
    }

    // A picture shown many times, and every missing one, is stored once: the
    // file does not grow by a picture per message.
    void picturesAreEmbeddedOnce()
    {
        const QString photo = m_tmp.filePath(QStringLiteral("photo.png"));
        QImage img(300, 200, QImage::Format_RGB32);
        img.fill(Qt::darkGreen);
        QVERIFY(img.save(photo));
        auto imagesIn = [&](int messages) {
            History h;
            _ViberChat* chat = h.chat(false);
            const QString path = m_tmp.filePath(QStringLiteral("pictures%1.pdf").arg(messages));
            {
                ExportMessagesPdf pdf(path);
                for (int i = 0; i < messages; ++i) {
                    pdf.write(*h.withAtta(h.msg(chat, 1, i % 20, MSG_TYPE_IMAGE, QString(), i % 2 ? h.person("A") : nullptr),
                                          photo));
                    pdf.write(*h.withAtta(h.msg(chat, 1, i % 20, MSG_TYPE_IMAGE),
                                          m_tmp.filePath(QStringLiteral("missing%1.jpg").arg(i))));
                }
                pdf.uninit();
            }
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return QString::fromLatin1(f.readAll()).count(QRegularExpression(QStringLiteral("/Subtype\\s*/Image")));
        };
        const int few = imagesIn(3);
        QVERIFY(few > 0);
        QCOMPARE(imagesIn(30), few);
    }

    void unwritablePathRaises()
    {
        for (const QString& path : {QStringLiteral("/nonexistent-folder/x/chat.pdf"), m_tmp.path()}) {
            try {
                ExportMessagesPdf pdf(path);
                pdf.uninit();
                QFAIL(qPrintable(QStringLiteral("no error for ") + path));
            } catch (const std::runtime_error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(QDir::toNativeSeparators(path)), e.what());
            }
        }
    }

    void dateSeparatorBeforeFirstMessageOfEachDay()
    {
        History h;
        _ViberChat* chat = h.chat(false);
        QList<_ViberMsg*> msgs;
        for (int day : {3, 3, 4, 9, 9, 9})
            msgs << h.msg(chat, day, 12, MSG_TYPE_TEXT, QStringLiteral("hi"));
        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = layoutOf(msgs, printer);
        QStringList kinds;
        for (const Item& i : items)
            kinds << (i.kind == Item::DATE ? i.text : QStringLiteral("msg"));
        QCOMPARE(kinds, (QStringList{"03 Mar 2021", "msg", "msg", "04 Mar 2021", "msg", "09 Mar 2021", "msg", "msg",
                                      "msg"}));
    }

    // A day's separator starts a page together with the day's first bubble:
    // it never ends a page on its own.
    void dateSeparatorNeverEndsAPageAlone()
    {
        History h;
        _ViberChat* chat = h.chat(false);
        QList<_ViberMsg*> msgs;
        for (int i = 0; i < 120; ++i)
            msgs << h.msg(chat, 1 + i / 5, i % 5, MSG_TYPE_TEXT, QStringLiteral("line\n").repeated(1 + (i * 7) % 5));
        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = layoutOf(msgs, printer);
        QVERIFY(printer.page() >= 3);
        int dates = 0;
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items[i].kind != Item::DATE)
                continue;
            ++dates;
            QVERIFY(i + 1 < items.size());
            QVERIFY2(items[i + 1].page == items[i].page, qPrintable(items[i].text));
            QVERIFY(items[i + 1].rect.top() > items[i].rect.bottom());
        }
        QCOMPARE(dates, 24);
        // A day whose only message prints nothing still shows its date.
        History h2;
        _ViberChat* c2 = h2.chat(false);
        ViberMsgPrinterPrivacy again;
        const QList<Item> tail = layoutOf({h2.msg(c2, 1, 1, MSG_TYPE_TEXT, QStringLiteral("hi")), h2.msg(c2, 2, 1, MSG_TYPE_CALL)},
                                          again, QStringLiteral("tail.pdf"));
        QCOMPARE(itemsOf(tail, Item::DATE).size(), 2);
    }

    // Emoji are painted as colour pictures (a PDF cannot draw the colour
    // font) while the text underneath stays searchable; Viber's emoticon
    // tokens print as their emoji.
    void emojiPrintAsPictures()
    {
        if (!QFontDatabase::families().contains(QStringLiteral("Noto Color Emoji")))
            QSKIP("the colour emoji font (fonts-noto-color-emoji) is not installed");
        const QString thumbs = QString::fromUtf16(u"\U0001F44D");
        // On an image: the drawn bubble holds saturated colour only where the picture is.
        auto colourful = [](const QImage& img) {
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    n += c.hsvSaturation() > 150 && c.value() > 120 && c.hue() >= 20 && c.hue() <= 60;
                }
            return n;
        };
        QVERIFY(colourful(text_bubble(QStringLiteral("ok ") + thumbs, 300, BUBBLE_RECEIVED)) > 20);
        QCOMPARE(colourful(text_bubble(QStringLiteral("ok"), 300, BUBBLE_RECEIVED)), 0);

        History h;
        _ViberChat* chat = h.chat(false);
        const QString path = m_tmp.filePath(QStringLiteral("emoji.pdf"));
        {
            ExportMessagesPdf pdf(path);
            pdf.write(*h.msg(chat, 2, 9, MSG_TYPE_TEXT, QStringLiteral("thanks ") + thumbs + QStringLiteral(" (heart)")));
            pdf.uninit();
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLatin1(f.readAll()).contains(QRegularExpression(QStringLiteral("/Subtype\\s*/Image"))));
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("thanks")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("(heart)")) && !text.contains(QStringLiteral("[EMOJI]")), qPrintable(text));
    }

    void bubblesThatDoNotFitStartANewPage()
    {
        History h;
        _ViberChat* chat = h.chat(false);
        QList<_ViberMsg*> msgs;
        for (int i = 0; i < 60; ++i)
            msgs << h.msg(chat, 1, 1, MSG_TYPE_TEXT, QStringLiteral("line\n").repeated(1 + i % 4));
        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = layoutOf(msgs, printer);
        const QRect content = printer.contentRect();
        QVERIFY(printer.page() >= 2);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const Item& it = items[i];
            QVERIFY(it.rect.bottom() <= content.bottom());
            if (i == 0)
                continue;
            const Item& prev = items[i - 1];
            if (it.page == prev.page) {
                QVERIFY(it.rect.top() > prev.rect.bottom());
            } else {
                // The next page, at its top, because the bubble would not fit below the previous one.
                QCOMPARE(it.page, prev.page + 1);
                QCOMPARE(it.rect.top(), content.top());
                QVERIFY(prev.rect.bottom() + 10 + it.rect.height() > content.bottom() + 1);
            }
        }
        QCOMPARE(items.last().page, printer.page());
    }

    void textLongerThanAPageContinuesOnTheNextPages()
    {
        History h;
        _ViberChat* chat = h.chat(true);
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines << QStringLiteral("line %1").arg(i);
        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = itemsOf(
            layoutOf({h.msg(chat, 1, 1, MSG_TYPE_TEXT, lines.join(QLatin1Char('\n')), h.person("Bo"))}, printer),
            Item::TEXT);
        QVERIFY(items.size() >= 3);
        QString joined;
        for (const Item& it : items) {
            QVERIFY(it.rect.bottom() <= printer.contentRect().bottom());
            joined += it.text;
        }
        joined.replace(QChar::LineSeparator, QLatin1Char('\n'));
        QCOMPARE(joined, lines.join(QLatin1Char('\n')));
        QCOMPARE(items.first().name, QStringLiteral("Bo"));
        QVERIFY(items.last().name.isEmpty());
    }

    void picturesAndTheirStandIns()
    {
        History h;
        _ViberChat* chat = h.chat(false);
        const QString wide = m_tmp.filePath(QStringLiteral("wide.png"));
        QImage(800, 200, QImage::Format_RGB32).save(wide);
        const QString broken = m_tmp.filePath(QStringLiteral("broken.jpg"));
        QFile b(broken);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.write("\xff\xd8\xff\xe0 not really a jpeg");
        b.close();
        const QString huge = m_tmp.filePath(QStringLiteral("huge.png"));
        QFile hf(huge);
        QVERIFY(hf.open(QIODevice::WriteOnly));
        hf.write(pngClaimingSize(200000, 200000));
        hf.close();

        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = layoutOf(
            {h.withAtta(h.msg(chat, 1, 1, MSG_TYPE_STICKER), m_tmp.filePath(QStringLiteral("gone.png")), "1234"),
             h.withAtta(h.msg(chat, 1, 2, MSG_TYPE_STICKER), wide, "77"),
             h.withAtta(h.msg(chat, 1, 3, MSG_TYPE_IMAGE), broken),
             h.withAtta(h.msg(chat, 1, 4, MSG_TYPE_IMAGE, QString(), h.person("Cy")), huge),
             h.msg(chat, 1, 5, MSG_TYPE_IMAGE)},
            printer);
        QCOMPARE(items.size(), 6); // date + five messages
        QCOMPARE(items[1].kind, Item::TEXT);
        QCOMPARE(items[1].text, QStringLiteral("[STICKER]")); // its number means nothing to a reader
        QCOMPARE(items[2].kind, Item::PICTURE);
        // 800 x 200 shrinks to 200 x 50; own bubble paddings 10 + 14.
        QCOMPARE(items[2].rect.width(), 224);
        QCOMPARE(items[2].rect.right(), printer.contentRect().right());
        QCOMPARE(items[3].kind, Item::PICTURE);
        QCOMPARE(items[4].kind, Item::PICTURE);
        QCOMPARE(items[4].rect.left(), printer.contentRect().left());
        // An image message without attachment is not silently dropped.
        QCOMPARE(items[5].kind, Item::TEXT);
        QCOMPARE(items[5].text, QStringLiteral("[IMAGE]"));
    }

    void namesOnlyInGroupChats()
    {
        History h;
        _ViberPerson* anna = h.person(QStringLiteral("Anna"));
        _ViberChat* group = h.chat(true);
        _ViberChat* single = h.chat(false);
        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = itemsOf(layoutOf({h.msg(group, 1, 1, MSG_TYPE_TEXT, "a", anna),
                                                    h.msg(group, 1, 2, MSG_TYPE_TEXT, "b"),
                                                    h.msg(single, 1, 3, MSG_TYPE_TEXT, "c", anna)},
                                                   printer),
                                          Item::TEXT);
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0].name, QStringLiteral("Anna"));
        QVERIFY(!items[0].own);
        QVERIFY(items[1].name.isEmpty());
        QVERIFY(items[1].own);
        QVERIFY(items[2].name.isEmpty());
    }

    void callsAndSystemMessagesAreCentred()
    {
        History h;
        _ViberChat* chat = h.chat(true);
        auto* call = h.make<_ViberCall>();
        call->type = CALL_OUTGOING;
        call->duration = 125;
        _ViberMsg* withCall = h.msg(chat, 1, 1, MSG_TYPE_CALL);
        withCall->call = call;
        _ViberMsg* joined = h.msg(chat, 1, 2, MSG_TYPE_SYSTEM, QStringLiteral("Dan"));
        joined->systemType = SYS_MEMBER_ADDED;
        ViberMsgPrinterPrivacy printer;
        const QList<Item> items = itemsOf(
            layoutOf({withCall, h.msg(chat, 1, 1, MSG_TYPE_CALL), joined}, printer), Item::CENTER);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].text, call->display());
        QCOMPARE(items[1].text, QStringLiteral("Dan joined"));
        const QRect c = printer.contentRect();
        QVERIFY(qAbs(items[0].rect.center().x() - c.center().x()) <= 1);
    }
};

QTEST_MAIN(TestPrinter)
#include "test_printer.moc"
