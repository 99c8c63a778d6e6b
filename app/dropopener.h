#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

namespace lumora::app {

// Takes files dropped on a widget (the main window's workspace and the image windows in it)
// and hands their paths on in the order they came. A drag that carries no local file is
// refused while it moves, so the pointer shows that nothing would happen.
class DropOpener final : public QObject {
    Q_OBJECT
public:
    DropOpener(QWidget &target, std::function<void(const QStringList &paths)> open);

    // The local files a drag carries; URLs of other kinds are left out.
    static QStringList localFiles(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QStringList &)> m_open;
};

} // namespace lumora::app
