#pragma once

#include "runtime/mainhost.h"
#include "show/imagebox.h"
#include "show/listcontrols.h"
#include "show/lumoramodule.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumora::show {

// `frmscreen`, "File Selection": assembles the list of pictures for a screen show and how it
// advances. Modeless, one instance, every opening in its designed state.
class ScreenDialog final : public QDialog {
    Q_OBJECT
public:
    static inline const QString kPattern = QStringLiteral("*.jpg;*.gif;*.bmp;*.wmf");

    // Creates the dialog in its designed state, not shown yet.
    static ScreenDialog *Load(runtime::MainHost &host, ShowSettings &settings);

    void Show();
    void Unload();
    bool isUnloaded() const { return m_unloaded; }

    // The full path of a file named `name` in the file list's folder.
    QString fullPath(const QString &name) const;

    void Drive1_Change();
    void Dir1_Change();
    void Dir1_Open(const QString &path);
    void File1_Click();
    void File1_DblClick();
    void cmdagregar_Click();
    void cmdall_Click();
    void cmdremove_Click();
    void cmdremall_Click();
    void lstseleccion_Click();
    void chkauto_Click();
    void cmdplay_Click();
    void cmdcancel_Click();
    void Form_Activate();

    DriveList &Drive1() const { return *m_Drive1; }
    FolderList &Dir1() const { return *m_Dir1; }
    FileList &File1() const { return *m_File1; }
    ImageBox &imgred() const { return *m_imgred; }
    ListBox &lstseleccion() const { return *m_lstseleccion; }
    QCheckBox &chkreducida() const { return *m_chkreducida; }
    QCheckBox &chkauto() const { return *m_chkauto; }
    QCheckBox &chkloop() const { return *m_chkloop; }
    QLineEdit &txttiempo() const { return *m_txttiempo; }
    QPushButton &cmdagregar() const { return *m_cmdagregar; }
    QPushButton &cmdremove() const { return *m_cmdremove; }
    QPushButton &cmdremall() const { return *m_cmdremall; }
    QPushButton &cmdall() const { return *m_cmdall; }
    QPushButton &cmdplay() const { return *m_cmdplay; }
    QPushButton &cmdcancel() const { return *m_cmdcancel; }

signals:
    // BEGIN wrote the settings and unloaded the dialog: the player is to start.
    void showBegun();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    ScreenDialog(runtime::MainHost &host, ShowSettings &settings);
    void buildControls();
    void placeControls();
    void connectHandlers();
    void setTabOrder();
    void startAtCurrentFolder();
    void handle(void (ScreenDialog::*handler)());
    void refuseBegin(const QString &text, QWidget &focus);

    runtime::MainHost &m_host;
    ShowSettings &m_settings;
    bool m_unloaded = false;

    QGroupBox *m_Frame3;
    DriveList *m_Drive1;
    FolderList *m_Dir1;
    FileList *m_File1;
    ImageBox *m_imgred;
    QCheckBox *m_chkreducida;
    QPushButton *m_cmdagregar;
    QPushButton *m_cmdremove;
    QPushButton *m_cmdremall;
    QPushButton *m_cmdall;
    ListBox *m_lstseleccion;
    QCheckBox *m_chkauto;
    QLabel *m_Label1;
    QLineEdit *m_txttiempo;
    QLabel *m_Label2;
    QCheckBox *m_chkloop;
    QGroupBox *m_Frame2;
    QPushButton *m_cmdplay;
    QPushButton *m_cmdcancel;
};

// The dialog's messages when BEGIN cannot start a show.
QString emptyShowMessage();
QString intervalMessage(const QLocale &locale);
QString tooManyPicturesMessage();

} // namespace lumora::show
