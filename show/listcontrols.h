#pragma once

#include "show/lumoramodule.h"

#include <QComboBox>
#include <QStringList>

namespace lumora::show {

// The mounted volumes that hold folders, each by its mount point, "/" first.
QStringList mountedDrives();

// The drive list: the mounted volumes. `Change` fires when the user picks one.
class DriveList final : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget *parent = nullptr);

    QString Drive() const { return currentText(); }
    // Selects the volume that holds `path`, without firing `Change`.
    void showDriveOf(const QString &path);
    // Lists the volumes mounted now.
    void refresh();

signals:
    void Change();
};

// The folder list: the folders from the root down to the shown one, then its subfolders.
// Opening an entry (double-click or Enter) makes it the shown folder.
class FolderList final : public ListBox {
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    QString Path() const { return m_path; }
    // Shows `path`, or a volume's mount point's folder; throws a run-time error for a folder
    // that does not exist or cannot be read, leaving the list as it was.
    void setPath(const QString &path);
    // The folder of entry `index`.
    QString folderAt(int index) const;
    // Lists the shown folder's subfolders again.
    void refresh() { fill(); }

signals:
    void Change();
    // The user opened an entry; the dialog decides whether the list moves there.
    void openRequested(const QString &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fill();

    QString m_path;
};

// The file list: the files of one folder that match the pattern, alphabetical, without
// hidden files.
class FileList final : public ListBox {
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr);

    QString Path() const { return m_path; }
    void setPath(const QString &path);
    QString Pattern() const { return m_pattern; }
    void setPattern(const QString &pattern);
    QString FileName() const;

private:
    void fill();

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};

// The names of the files in `folder` that match `pattern` (";"-separated, any case), in
// alphabetical order, without hidden files. Throws a run-time error for a folder that cannot
// be read.
QStringList matchingFiles(const QString &folder, const QString &pattern);

} // namespace lumora::show
