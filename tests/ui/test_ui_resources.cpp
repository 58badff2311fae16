#include "shell/UserTexts.h"
#include "support/TestEnv.h"
#include "ui/StyleSheet.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

namespace {
QStringList sourceFiles(const QString& folder)
{
    QStringList files;
    QDirIterator it(g_testSourceDir() + u'/' + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// Every "IDS_..." string literal of the sources, with the file it is in.
QHash<QString, QString> keysUsedInCode()
{
    static const QRegularExpression literal(QStringLiteral("\"(IDS_(?:[^\"\\\\\\n]|\\\\.)*)\""));
    QHash<QString, QString> keys;
    for (const QString& file : sourceFiles(QStringLiteral("src"))) {
        const QString text = g_readText(file);
        for (const auto& m : literal.globalMatch(text)) {
            QString key = m.captured(1);
            key.replace(QLatin1String("\\\""), QLatin1String("\""));
            keys.insert(key, file);
        }
    }
    return keys;
}

// The texts of the table; a count's entry holds its number forms, one per
// line.
QHash<QString, QString> tableEntries(QSet<QString>* counts = nullptr)
{
    QHash<QString, QString> entries;
    QXmlStreamReader xml(g_readFile(g_testSourceDir() + QStringLiteral("/res/en.ts")));
    QString source;
    bool numerus = false;
    QStringList forms;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("translation") && numerus)
            entries.insert(source, forms.join(u'\n'));
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("message")) {
            numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            forms.clear();
            if (numerus && counts)
                counts->insert(QString());
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
            if (numerus && counts)
                counts->insert(source);
        } else if (xml.name() == QLatin1String("numerusform")) {
            forms << xml.readElementText();
        } else if (xml.name() == QLatin1String("translation") && !numerus) {
            entries.insert(source, xml.readElementText());
        }
    }
    if (counts)
        counts->remove(QString());
    return entries;
}

// The texts a user would read that a source passes to a widget as a literal
// instead of looking them up with ids(): a string with a word in it as an
// argument of a text setter, a message box or a labelled widget's
// constructor (other arguments may come first). Each as "line: literal".
QStringList userVisibleLiterals(const QString& source)
{
    static const QRegularExpression call(QStringLiteral(
        R"re(\b(?:setText|setWindowTitle|setToolTip|setStatusTip|setWhatsThis|setPlaceholderText|setIconText|setTitle|)re"
        R"re(setLabelText|setButtonText|setItemText|addAction|addMenu|addToolBar|addItem|addTab|setTabText|showMessage|)re"
        R"re(setHeaderLabels?|setInformativeText|setDetailedText|information|warning|critical|question|confirm|info|)re"
        R"re(error|about|QLabel|QPushButton|QCheckBox|QRadioButton|QGroupBox|QAction|QToolButton)\s*[({]\s*)re"
        R"re((?:[\w:>.*&-]+\s*,\s*)*(?:(?:QStringLiteral|QLatin1String|QString::fromLatin1|QString::fromUtf8|tr)\s*\(\s*)?)re"
        R"re("((?:[^"\\\n]|\\.)*[A-Za-z]{2}(?:[^"\\\n]|\\.)*)")re"));
    QStringList found;
    for (const auto& m : call.globalMatch(source))
        found << QStringLiteral("%1: %2").arg(source.left(m.capturedStart()).count(u'\n') + 1).arg(m.captured(1));
    return found;
}
} // namespace

class TestUiResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    // Every key the code looks up has its English text; every text of the
    // table is looked up by some code.
    void userTextsMatchTheCodeBothWays()
    {
        const QHash<QString, QString> used = keysUsedInCode();
        QSet<QString> counts;
        const QHash<QString, QString> table = tableEntries(&counts);
        QVERIFY(!counts.isEmpty());
        QVERIFY(used.size() > 20);
        QVERIFY(table.size() >= used.size());

        for (auto it = used.cbegin(); it != used.cend(); ++it)
            QVERIFY2(
                table.contains(it.key()),
                qPrintable(QStringLiteral("%1 (in %2) has no text in res/en.ts").arg(it.key(), it.value())));
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            QVERIFY2(used.contains(it.key()), qPrintable(it.key() + QStringLiteral(" is used nowhere")));
            QVERIFY2(!it.value().trimmed().isEmpty(),
                     qPrintable(it.key() + QStringLiteral(" has an empty text")));
            // The embedded table answers with the same text; a count with
            // the form of its number (English: one, other).
            const QByteArray key = it.key().toUtf8();
            if (!counts.contains(it.key())) {
                QCOMPARE(ids(key.constData()), it.value());
                continue;
            }
            const QStringList forms = it.value().split(u'\n');
            QCOMPARE(forms.size(), 2);
            QVERIFY2(forms.at(0).contains(u"%n"_qs) && forms.at(1).contains(u"%n"_qs), key.constData());
            QCOMPARE(ids(key.constData(), 1), QString(forms.at(0)).replace(u"%n"_qs, u"1"_qs));
            for (const qint64 n : {0, 2, 19, 1001})
                QCOMPARE(ids(key.constData(), n), QString(forms.at(1)).replace(u"%n"_qs, QString::number(n)));
        }
    }

    // What the user reads comes from the text table, so that it can be
    // reworded (or translated) in one place.
    void widgetsShowNoLiteralTexts()
    {
        // The scan sees a literal in each shape the sources use, and leaves
        // looked-up texts, object names and pictures alone.
        const QString planted = QString::fromLatin1(
            "\n"
            "label->setText(QStringLiteral(\"Total: 0\"));\n"
            "Tips::warning(QStringLiteral(\n"
            "    \"Can't load %1.\").arg(name));\n"
            "menu->addAction(icon, tr(\"Open Folder\"));\n"
            "auto* ok = new QPushButton(\"OK\", this);\n"
            "box->setText(ids(\"IDS_TOTAL\"));\n"
            "box->setObjectName(QStringLiteral(\"txtTotal\"));\n"
            "menu->addAction(QIcon(QStringLiteral(\":/res/open.png\")), ids(\"IDS_OPEN\"));\n"
            "lbChatName->setText(title + QStringLiteral(\"...\"));\n");
        QCOMPARE(userVisibleLiterals(planted),
                 (QStringList{QStringLiteral("2: Total: 0"), QStringLiteral("3: Can't load %1."),
                              QStringLiteral("5: Open Folder"), QStringLiteral("6: OK")}));

        QStringList found;
        for (const QString& file : sourceFiles(QStringLiteral("src/ui"))) {
            for (const QString& hit : userVisibleLiterals(g_readText(file)))
                found << file.mid(g_testSourceDir().size() + 1) + u':' + hit;
        }
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
    }

    // Every picture the widgets name, and every picture the style sheet
    // names, is embedded.
    void everyPictureNamedExists()
    {
        static const QRegularExpression named(
            QStringLiteral("(?:resIcon\\(\"|g_uiIcon\\(QStringLiteral\\(\"|\":/res/)([A-Za-z0-9_.\\-]+)\""));
        QSet<QString> names;
        for (const QString& file : sourceFiles(QStringLiteral("src/ui"))) {
            for (const auto& m : named.globalMatch(g_readText(file)))
                names << m.captured(1);
        }
        QVERIFY(names.size() > 10);
        for (QString name : names) {
            if (name.endsWith(QLatin1String(".css")))
                continue;
            if (!name.contains(u'.'))
                name += QStringLiteral(".png");
            const QImage image(QStringLiteral(":/res/") + name);
            QVERIFY2(!image.isNull(), qPrintable(name));
            QVERIFY(image.width() >= 52); // sharp on the tool bar
        }

        const QString css = getStyleSheet();
        QVERIFY(css.contains(QLatin1String("#ProgressForm")));
        static const QRegularExpression url(QStringLiteral("url\\(([^)]+)\\)"));
        int urls = 0;
        for (const auto& m : url.globalMatch(css)) {
            QVERIFY2(!QImage(m.captured(1)).isNull(), qPrintable(m.captured(1)));
            ++urls;
        }
        QVERIFY(urls > 0); // the scan above read the sheet's pictures
    }
};

QTEST_MAIN(TestUiResources)
#include "test_ui_resources.moc"
