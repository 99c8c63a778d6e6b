// The help file is generated at build time from help/; these tests read the built file the way
// the help window does, so a broken project file, a lost topic or a missing index entry
// shows up here rather than as an empty help window.
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchResult>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kHelpFile = QStringLiteral(LUMORA_BINARY_DIR "/app/lumora.hlp");
const QString kNamespace = QStringLiteral("org.lumora.viewer");

} // namespace

class tst_HelpFile final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void namespaceIsRegistered();
    void contentsListsEveryTopic_data();
    void contentsListsEveryTopic();
    void indexFindsCommand_data();
    void indexFindsCommand();
    void everyTopicHasText();
    void searchFindsWords_data();
    void searchFindsWords();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QHelpEngine> m_engine;
    bool m_indexed = false;
};

void tst_HelpFile::initTestCase()
{
    QVERIFY2(QFileInfo(kHelpFile).isFile(), qPrintable(kHelpFile + " was not built"));
    QVERIFY(m_dir.isValid());
    m_engine = std::make_unique<QHelpEngine>(m_dir.filePath(QStringLiteral("test.qhc")));
    m_engine->setReadOnly(false);
    QVERIFY2(m_engine->setupData(), qPrintable(m_engine->error()));
    QVERIFY2(m_engine->registerDocumentation(kHelpFile), qPrintable(m_engine->error()));
}

void tst_HelpFile::namespaceIsRegistered()
{
    QCOMPARE(QHelpEngineCore::namespaceName(kHelpFile), kNamespace);
    QVERIFY(m_engine->registeredDocumentations().contains(kNamespace));
}

void tst_HelpFile::contentsListsEveryTopic_data()
{
    QTest::addColumn<QString>("title");
    for (const char *title :
         {"Getting started", "Opening pictures", "Image windows", "Zoom In and Zoom Out",
          "Copy, Set as WallPaper and Save As", "Printing and Printer Setup", "Print Preview",
          "Screen Show", "Window menu", "Help and About", "Keyboard and mouse reference"})
        QTest::newRow(title) << QString::fromLatin1(title);
}

// The topics stand at the top of the Contents tab, so the help window shows them all at once.
void tst_HelpFile::contentsListsEveryTopic()
{
    QFETCH(QString, title);
    QHelpContentModel *model = m_engine->contentModel();
    if (model->rowCount() == 0) {
        QSignalSpy created(model, &QHelpContentModel::contentsCreated);
        model->createContents(QString());
        QVERIFY(created.wait(10000));
    }
    QCOMPARE(model->rowCount(), 11);
    QStringList topLevel;
    for (int row = 0; row < model->rowCount(); ++row)
        topLevel << model->contentItemAt(model->index(row, 0))->title();
    QCOMPARE(topLevel.first(), QStringLiteral("Getting started"));
    QVERIFY2(topLevel.contains(title), qPrintable(topLevel.join(u'|')));
}

void tst_HelpFile::indexFindsCommand_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("page");
    QTest::newRow("open") << "Open"
                          << "opening.html";
    QTest::newRow("screen show") << "Screen Show"
                                 << "screenshow.html";
    QTest::newRow("save as") << "Save As..."
                             << "copysave.html";
    QTest::newRow("print preview") << "Print Preview"
                                   << "preview.html";
    QTest::newRow("printer setup") << "Printer Setup"
                                   << "printing.html";
    QTest::newRow("print") << "Print"
                           << "printing.html";
    QTest::newRow("exit") << "Exit"
                          << "helpabout.html";
    QTest::newRow("copy") << "Copy"
                          << "copysave.html";
    QTest::newRow("wallpaper") << "Set as WallPaper"
                               << "copysave.html";
    QTest::newRow("zoom in") << "Zoom In"
                             << "zoom.html";
    QTest::newRow("zoom out") << "Zoom Out"
                              << "zoom.html";
    QTest::newRow("cascade") << "Cascade"
                             << "window.html";
    QTest::newRow("tile horizontal") << "Tile Horizontal"
                                     << "window.html";
    QTest::newRow("tile vertical") << "Tile Vertical"
                                   << "window.html";
    QTest::newRow("contents") << "Contents"
                              << "helpabout.html";
    QTest::newRow("about") << "About..."
                           << "helpabout.html";
    QTest::newRow("no active") << "No active Windows"
                               << "index.html";
    QTest::newRow("begin") << "BEGIN"
                           << "screenshow.html";
}

void tst_HelpFile::indexFindsCommand()
{
    QFETCH(QString, keyword);
    QFETCH(QString, page);
    const QList<QHelpLink> links = m_engine->documentsForKeyword(keyword);
    QCOMPARE(links.size(), 1);
    QCOMPARE(links.first().url.host(), kNamespace);
    QCOMPARE(links.first().url.fileName(), page);
    QVERIFY(!m_engine->fileData(links.first().url).isEmpty());
}

// A topic listed in the contents but left out of the file list would open as a blank page.
void tst_HelpFile::everyTopicHasText()
{
    const QList<QUrl> pages = m_engine->files(kNamespace, QString(), QStringLiteral("html"));
    QCOMPARE(pages.size(), 11);
    for (const QUrl &page : pages) {
        const QByteArray html = m_engine->fileData(page);
        QVERIFY2(html.contains("<h1>"), qPrintable(page.toString()));
        // Qt's rich text only reads a linked style sheet that says it is text/css.
        QVERIFY2(html.contains("type=\"text/css\" href=\"lumora.css\""),
                 qPrintable(page.toString()));
    }
    const QUrl css(QStringLiteral("qthelp://%1/lumora/lumora.css").arg(kNamespace));
    QVERIFY(!m_engine->fileData(css).isEmpty());
}

void tst_HelpFile::searchFindsWords_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("page");
    QTest::newRow("wallpaper") << "wallpaper"
                               << "copysave.html";
    QTest::newRow("loop") << "loop"
                          << "screenshow.html";
    QTest::newRow("printer") << "printer"
                             << "printing.html";
    // A word the help never uses must find nothing, or the rows above prove little.
    QTest::newRow("absent") << "xylophone" << QString();
}

void tst_HelpFile::searchFindsWords()
{
    QFETCH(QString, words);
    QFETCH(QString, page);
    QHelpSearchEngine *search = m_engine->searchEngine();
    if (!m_indexed) {
        QSignalSpy finished(search, &QHelpSearchEngine::indexingFinished);
        search->reindexDocumentation();
        QVERIFY(finished.wait(60000));
        m_indexed = true;
    }
    QSignalSpy found(search, &QHelpSearchEngine::searchingFinished);
    search->search(words);
    QVERIFY(found.wait(30000));
    const int hits = search->searchResultCount();
    if (page.isEmpty()) {
        QCOMPARE(hits, 0);
        return;
    }
    QVERIFY2(hits > 0, qPrintable(words));
    QStringList files;
    for (const QHelpSearchResult &result : search->searchResults(0, hits))
        files << result.url().fileName();
    QVERIFY2(files.contains(page), qPrintable(files.join(u' ')));
}

QTEST_MAIN(tst_HelpFile)
#include "tst_helpfile.moc"
