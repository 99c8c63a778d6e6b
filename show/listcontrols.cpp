#include "show/listcontrols.h"

#include "base/runtimeerror.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>

namespace lumora::show {

namespace {

void requireReadableFolder(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isDir())
        throw RuntimeError(errors::PathNotFound, QStringLiteral("Path not found"));
    if (!info.isReadable() || !info.isExecutable())
        throw RuntimeError(errors::PermissionDenied, QStringLiteral("Permission denied"));
}

// Alphabetical without regard to case, so "b.jpg" does not come after "Z.jpg". A plain
// comparison keeps a folder of tens of thousands of files quick to sort.
void sortAlphabetically(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = QString::compare(a, b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

QStringList subfolders(const QString &folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::NoSort);
    sortAlphabetically(names);
    return names;
}

} // namespace

QStringList mountedDrives()
{
    QStringList drives;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() && QFileInfo(root).isDir() &&
            !drives.contains(root))
            drives.append(root);
    }
    if (!drives.contains(QStringLiteral("/")))
        drives.append(QStringLiteral("/"));
    std::sort(drives.begin(), drives.end());
    return drives;
}

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    requireReadableFolder(folder);
    // The patterns are compiled once and the folder read once: QDir's own name filters cost
    // a third of a second in a folder of ten thousand pictures.
    QList<QRegularExpression> patterns;
    for (const QString &wildcard : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        patterns.append(
            QRegularExpression(QRegularExpression::wildcardToRegularExpression(wildcard.trimmed()),
                               QRegularExpression::CaseInsensitiveOption));
    QStringList names;
    QDirIterator entries(folder, QDir::Files); // hidden files are left out
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        if (std::any_of(patterns.cbegin(), patterns.cend(),
                        [&](const QRegularExpression &re) { return re.match(name).hasMatch(); }))
            names.append(name);
    }
    sortAlphabetically(names);
    return names;
}

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    refresh();
    connect(this, &QComboBox::activated, this, &DriveList::Change);
}

void DriveList::refresh()
{
    const QString chosen = currentText();
    const QSignalBlocker quiet(this);
    clear();
    addItems(mountedDrives());
    const int index = findText(chosen);
    if (index >= 0)
        setCurrentIndex(index);
}

void DriveList::showDriveOf(const QString &path)
{
    const QSignalBlocker quiet(this);
    const QString root = QStorageInfo(path).rootPath();
    int index = findText(root);
    if (index < 0) {
        addItem(root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

FolderList::FolderList(QWidget *parent) : ListBox(parent)
{
    connect(this, &ListBox::DblClick, this, [this] {
        if (ListIndex() >= 0)
            emit openRequested(folderAt(ListIndex()));
    });
}

QString FolderList::folderAt(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry ? entry->data(Qt::UserRole).toString() : QString();
}

void FolderList::setPath(const QString &path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    requireReadableFolder(clean);
    if (clean == m_path)
        return;
    m_path = clean;
    fill();
    emit Change();
}

void FolderList::fill()
{
    clear();
    QStringList chain;
    for (QDir dir(m_path);;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    int depth = 0;
    const auto add = [this](const QString &label, const QString &folder, int indent) {
        auto *entry = new QListWidgetItem(QString(indent * 2, QLatin1Char(' ')) + label, this);
        entry->setData(Qt::UserRole, folder);
        return entry;
    };
    for (const QString &folder : chain) {
        const QString name = QDir(folder).isRoot() ? folder : QFileInfo(folder).fileName();
        QListWidgetItem *entry = add(name, folder, depth++);
        if (folder == chain.last())
            setCurrentItem(entry, QItemSelectionModel::NoUpdate);
    }
    for (const QString &name : subfolders(m_path))
        add(name, QDir(m_path).filePath(name), depth);
}

void FolderList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && ListIndex() >= 0) {
        emit openRequested(folderAt(ListIndex()));
        return;
    }
    ListBox::keyPressEvent(event);
}

FileList::FileList(QWidget *parent) : ListBox(parent) {}

void FileList::setPath(const QString &path)
{
    m_path = path;
    fill();
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    if (!m_path.isEmpty())
        fill();
}

QString FileList::FileName() const
{
    const int index = ListIndex();
    return index < 0 ? QString() : List(index);
}

void FileList::fill()
{
    clear();
    QStringList names;
    try {
        names = matchingFiles(m_path, m_pattern);
    } catch (const RuntimeError &) {
        // An unreadable folder lists no files; the folder list reports it when opened.
    }
    setUpdatesEnabled(false);
    addItems(names);
    setUpdatesEnabled(true);
}

} // namespace lumora::show
