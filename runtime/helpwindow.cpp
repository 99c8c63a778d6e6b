#include "runtime/helpwindow.h"

#include "runtime/appinfo.h"

#include <QFileInfo>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lumora::runtime {

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    if (m_engine && name.scheme() == QLatin1String("qthelp"))
        return m_engine->fileData(name);
    return QTextBrowser::loadResource(type, name);
}

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_tabs(new QTabWidget), m_browser(new HelpBrowser)
{
    setWindowTitle(QStringLiteral("%1 Help").arg(App::Title()));
    setObjectName(QStringLiteral("helpwindow"));
    auto *splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(900, 600);
}

HelpWindow::~HelpWindow()
{
    m_tabs->clear(); // the tabs' widgets belong to the engine
}

void HelpWindow::showProblem(const QString &text)
{
    m_tabs->clear();
    m_engine.reset();
    m_browser->setEngine(nullptr);
    m_browser->setPlainText(text);
}

void HelpWindow::openFile(const QString &path)
{
    if (path == m_file && m_engine)
        return;
    m_file = path;
    if (!QFileInfo(path).isFile()) {
        showProblem(QStringLiteral("Cannot find the help file %1.\n\nThe file may have been "
                                   "moved or deleted; reinstalling the program restores it.")
                        .arg(path));
        return;
    }
    m_tabs->clear();
    m_browser->setEngine(nullptr);
    m_engine.reset();
    // The engine needs a collection file it may write; a private temporary one keeps the
    // user's folders untouched.
    m_collectionDir = std::make_unique<QTemporaryDir>();
    auto engine = std::make_unique<QHelpEngine>(m_collectionDir->filePath("lumora.qhc"));
    engine->setReadOnly(false);
    if (!engine->setupData() || !engine->registerDocumentation(path) ||
        engine->registeredDocumentations().isEmpty()) {
        showProblem(
            QStringLiteral("The help file %1 cannot be read.\n\n%2").arg(path, engine->error()));
        return;
    }
    m_engine = std::move(engine);
    m_browser->setEngine(m_engine.get());
    buildTabs();
    showFirstTopic();
}

void HelpWindow::buildTabs()
{
    QHelpEngine *engine = m_engine.get();
    m_tabs->addTab(engine->contentWidget(), QStringLiteral("Contents"));
    m_tabs->addTab(engine->indexWidget(), QStringLiteral("Index"));
    auto *searchPage = new QWidget;
    auto *searchLayout = new QVBoxLayout(searchPage);
    QHelpSearchEngine *searcher = engine->searchEngine();
    searchLayout->addWidget(searcher->queryWidget());
    searchLayout->addWidget(searcher->resultWidget(), 1);
    m_tabs->addTab(searchPage, QStringLiteral("Search"));

    connect(engine->contentWidget(), &QHelpContentWidget::linkActivated, m_browser,
            [this](const QUrl &url) { m_browser->setSource(url); });
    connect(engine->indexWidget(), &QHelpIndexWidget::documentActivated, m_browser,
            [this](const QHelpLink &link, const QString &) { m_browser->setSource(link.url); });
    connect(engine->indexWidget(), &QHelpIndexWidget::documentsActivated, m_browser,
            [this](const QList<QHelpLink> &links, const QString &) {
                if (!links.isEmpty())
                    m_browser->setSource(links.first().url);
            });
    connect(searcher->queryWidget(), &QHelpSearchQueryWidget::search, this,
            [searcher] { searcher->search(searcher->queryWidget()->searchInput()); });
    connect(searcher->resultWidget(), &QHelpSearchResultWidget::requestShowLink, m_browser,
            [this](const QUrl &url) { m_browser->setSource(url); });
    connect(searcher, &QHelpSearchEngine::searchingFinished, this, &HelpWindow::searchFinished);
    connect(searcher, &QHelpSearchEngine::indexingFinished, this, [this, searcher] {
        if (!m_pendingSearch.isEmpty())
            searcher->search(std::exchange(m_pendingSearch, QString()));
    });
    connect(searcher, &QHelpSearchEngine::indexingStarted, this, [this] { m_indexing = true; });
    connect(searcher, &QHelpSearchEngine::indexingFinished, this, [this] { m_indexing = false; });
    m_indexing = true;
    searcher->reindexDocumentation();
    engine->contentModel()->createContents(QString());
    engine->indexModel()->createIndex(QString());
}

void HelpWindow::showFirstTopic()
{
    const QStringList namespaces = m_engine->registeredDocumentations();
    const QList<QUrl> files =
        m_engine->files(namespaces.first(), QString(), QStringLiteral("html"));
    for (const QUrl &url : files) {
        if (url.path().endsWith(QLatin1String("index.html"))) {
            m_browser->setSource(url);
            return;
        }
    }
    if (!files.isEmpty())
        m_browser->setSource(files.first());
}

void HelpWindow::search(const QString &words)
{
    if (!m_engine)
        return;
    QHelpSearchEngine *searcher = m_engine->searchEngine();
    searcher->queryWidget()->setSearchInput(words);
    if (m_indexing)
        m_pendingSearch = words;
    else
        searcher->search(words);
}

} // namespace lumora::runtime
