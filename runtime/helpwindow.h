#pragma once

#include <QTemporaryDir>
#include <QTextBrowser>
#include <QWidget>
#include <memory>

class QHelpEngine;
class QTabWidget;
class QUrl;

namespace lumora::runtime {

// Shows a page of the help file, reading qthelp:// links from the engine.
class HelpBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget *parent = nullptr) : QTextBrowser(parent) {}
    void setEngine(QHelpEngine *engine) { m_engine = engine; }
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QHelpEngine *m_engine = nullptr;
};

// The help system's topics window: Contents, Index and Search over a compressed help file,
// with the chosen topic on the right. A missing or broken file is reported in the window.
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);
    ~HelpWindow() override;

    void openFile(const QString &path);
    const QString &fileName() const { return m_file; }
    bool isLoaded() const { return m_engine != nullptr; }
    QHelpEngine *engine() const { return m_engine.get(); }
    QTabWidget *tabs() const { return m_tabs; }
    HelpBrowser *browser() const { return m_browser; }
    // Starts a full-text search; results arrive in the Search tab.
    void search(const QString &words);

signals:
    void searchFinished(int hits);

private:
    void showProblem(const QString &text);
    void buildTabs();
    void showFirstTopic();

    QString m_file;
    std::unique_ptr<QTemporaryDir> m_collectionDir;
    std::unique_ptr<QHelpEngine> m_engine;
    QTabWidget *m_tabs;
    HelpBrowser *m_browser;
    QString m_pendingSearch;
    bool m_indexing = false;
};

} // namespace lumora::runtime
