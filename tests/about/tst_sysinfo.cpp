// The About box's registry reader and its start of the system-information tool, against a
// registry held in memory and real programs written by the test.
#include "about/shell.h"
#include "about/sysinfo.h"
#include "about/systemregistry.h"
#include "tests/about/recordingregistry.h"
#include "tests/about/sysinfotool.h"
#include "tests/support/scripteddialogs.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lumora;
using namespace lumora::about;
using testing::RecordingRegistry;

Q_DECLARE_METATYPE(about::RegistryValue)

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

RegistryValue raw(quint32 type, const QByteArray &bytes)
{
    return {type, bytes};
}

QByteArray repeated(char c, int count)
{
    return QByteArray(count, c);
}

} // namespace

class tst_SysInfo final : public QObject {
    Q_OBJECT

private slots:
    void getKeyValue_data();
    void getKeyValue();
    void getKeyValueMissing_data();
    void getKeyValueMissing();
    void startSysInfo_data();
    void startSysInfo();
    void systemRegistryPrefersTheFirstKnownTool();
    void systemRegistryStartsTheToolWithItsArguments();
    void systemRegistryWithoutToolIsUnavailable();
};

void tst_SysInfo::getKeyValue_data()
{
    QTest::addColumn<RegistryValue>("value");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("text");

    QTest::newRow("string") << stringValue(QStringLiteral("/usr/bin/tool")) << true
                            << QStringLiteral("/usr/bin/tool");
    QTest::newRow("string without its zero") << raw(REG_SZ, "abc") << true << QStringLiteral("abc");
    // The buffer holds 1024 bytes: a value that fills it exactly is read whole.
    QTest::newRow("1024 bytes with the zero") << raw(REG_SZ, repeated('a', 1023) + '\0') << true
                                              << QString::fromLatin1(repeated('a', 1023));
    QTest::newRow("1024 bytes without a zero")
        << raw(REG_SZ, repeated('b', 1024)) << true << QString::fromLatin1(repeated('b', 1024));
    QTest::newRow("1025 bytes") << raw(REG_SZ, repeated('c', 1024) + '\0') << false << QString();
    QTest::newRow("empty value") << raw(REG_SZ, QByteArray()) << true << QString();
    QTest::newRow("only a zero") << raw(REG_SZ, QByteArray(1, '\0')) << true << QString();
    QTest::newRow("utf-8 path") << stringValue(QStringLiteral("/opt/outil/d\u00e9j\u00e0")) << true
                                << QStringLiteral("/opt/outil/d\u00e9j\u00e0");
    QTest::newRow("number") << dwordValue(0x12345678) << true << QStringLiteral("305419896");
    QTest::newRow("number with a zero top byte")
        << dwordValue(0x00010203) << true << QStringLiteral("66051");
    QTest::newRow("largest number")
        << dwordValue(0xFFFFFFFF) << true << QStringLiteral("4294967295");
    QTest::newRow("number zero") << dwordValue(0) << true << QStringLiteral("0");
    // Any other type is found but leaves the text as the caller had it.
    QTest::newRow("binary") << raw(REG_BINARY, "xyz") << true << QStringLiteral("before");
    QTest::newRow("empty binary") << raw(REG_BINARY, QByteArray()) << true
                                  << QStringLiteral("before");
}

void tst_SysInfo::getKeyValue()
{
    QFETCH(RegistryValue, value);
    QFETCH(bool, found);
    QFETCH(QString, text);

    RecordingRegistry registry;
    registry.values.setValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test"),
                             QStringLiteral("Value"), value);
    QString keyVal = QStringLiteral("before");
    QCOMPARE(GetKeyValue(registry, HKEY_LOCAL_MACHINE, QStringLiteral("software\\test"),
                         QStringLiteral("VALUE"), keyVal),
             found);
    QCOMPARE(keyVal, text);
    QCOMPARE(registry.accessMasks, QList<quint32>{0x2003F});
    QCOMPARE(registry.closedHandles, registry.openedHandles);
}

void tst_SysInfo::getKeyValueMissing_data()
{
    QTest::addColumn<HKEY>("root");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");

    QTest::newRow("missing key") << HKEY_LOCAL_MACHINE << QStringLiteral("SOFTWARE\\Other")
                                 << QStringLiteral("Value");
    QTest::newRow("missing value")
        << HKEY_LOCAL_MACHINE << QStringLiteral("SOFTWARE\\Test") << QStringLiteral("Other");
    QTest::newRow("other root") << HKEY(0x80000001) << QStringLiteral("SOFTWARE\\Test")
                                << QStringLiteral("Value");
}

// Nothing read leaves "" behind, and the key is closed even when it could not be opened.
void tst_SysInfo::getKeyValueMissing()
{
    QFETCH(HKEY, root);
    QFETCH(QString, key);
    QFETCH(QString, name);

    RecordingRegistry registry;
    registry.values.setValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test"),
                             QStringLiteral("Value"), stringValue(QStringLiteral("x")));
    QString keyVal = QStringLiteral("before");
    QVERIFY(!GetKeyValue(registry, root, key, name, keyVal));
    QCOMPARE(keyVal, QString());
    QCOMPARE(registry.closedHandles.size(), 1);
    QCOMPARE(registry.closedHandles, registry.openedHandles);
}

void tst_SysInfo::startSysInfo_data()
{
    // What the registry holds is described relative to a folder of the test's own: "<tool>"
    // is a real program there that records that it ran, "<dir>" the folder, "<spaced>" a
    // folder with a blank in its name that holds the same program.
    QTest::addColumn<QVariant>("path");     // RegistryValue or invalid for no PATH value
    QTest::addColumn<QVariant>("location"); // RegistryValue or invalid for no location key
    QTest::addColumn<QString>("fileName");  // the tool's name in the location folder
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("locationRead");

    const auto str = [](const char *text) {
        return QVariant::fromValue(stringValue(QString::fromUtf8(text)));
    };
    const QVariant none;
    QTest::newRow("PATH names the tool")
        << str("<tool>") << str("<dir>") << "tool" << true << false;
    QTest::newRow("PATH names a missing file")
        << str("<dir>/missing") << str("<dir>") << "tool" << false << false;
    QTest::newRow("PATH names a folder") << str("<dir>") << none << "tool" << false << false;
    QTest::newRow("PATH of another type") << QVariant::fromValue(raw(REG_BINARY, "<tool>"))
                                          << str("<dir>") << "tool" << false << false;
    QTest::newRow("PATH with a zero inside")
        << QVariant::fromValue(raw(REG_SZ, QByteArray("<tool>\0 --junk\0", 15))) << none << "tool"
        << false << false;
    QTest::newRow("location holds the tool") << none << str("<dir>") << "tool" << true << true;
    QTest::newRow("location with a trailing slash")
        << none << str("<dir>/") << "tool" << true << true;
    QTest::newRow("location in a folder with a blank")
        << none << str("<spaced>") << "tool" << true << true;
    QTest::newRow("location lacks the tool") << none << str("<dir>") << "other" << false << true;
    QTest::newRow("PATH too long, location holds the tool")
        << QVariant::fromValue(raw(REG_SZ, QByteArray(1100, 'x'))) << str("<dir>") << "tool" << true
        << true;
    QTest::newRow("no keys") << none << none << "tool" << false << true;
}

void tst_SysInfo::startSysInfo()
{
    QFETCH(QVariant, path);
    QFETCH(QVariant, location);
    QFETCH(QString, fileName);
    QFETCH(bool, started);
    QFETCH(bool, locationRead);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("marker"));
    const QString spaced = dir.filePath(QStringLiteral("with blank"));
    QVERIFY(QDir().mkpath(spaced));
    QVERIFY(testing::writeRecordingTool(dir.filePath(QStringLiteral("tool")), marker));
    QVERIFY(testing::writeRecordingTool(spaced + QStringLiteral("/tool"), marker));
    const auto expand = [&](const QVariant &value) {
        RegistryValue expanded = value.value<RegistryValue>();
        expanded.data.replace("<tool>", QFile::encodeName(dir.filePath(QStringLiteral("tool"))))
            .replace("<dir>", QFile::encodeName(dir.path()))
            .replace("<spaced>", QFile::encodeName(spaced));
        return expanded;
    };

    RecordingRegistry registry;
    if (path.isValid())
        registry.values.setValue(HKEY_LOCAL_MACHINE, kSysInfoPathKey, kSysInfoPathValue,
                                 expand(path));
    if (location.isValid())
        registry.values.setValue(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                                 expand(location));
    registry.values.setSysInfoFileName(fileName);
    testing::ScriptedDialogs dialogs;

    StartSysInfo(registry, dialogs);

    QCOMPARE(registry.openedKeys.contains(kSysInfoLocationKey), locationRead);
    QCOMPARE(registry.closedHandles, registry.openedHandles);
    if (started) {
        QVERIFY(dialogs.messages.isEmpty());
        QTRY_COMPARE(testing::recordedRun(marker), QStringList{QStringLiteral("ran")});
    } else {
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.first().text, kUnavailable);
        QCOMPARE(dialogs.messages.first().style, 0);
        QCOMPARE(dialogs.messages.first().title, QStringLiteral("Lumora"));
        QVERIFY(!QFile::exists(marker));
    }
}

// Several desktops' tools installed at once: the fixed order decides, whatever the order of
// the folders on the search path.
void tst_SysInfo::systemRegistryPrefersTheFirstKnownTool()
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QString marker = first.filePath(QStringLiteral("marker"));
    QVERIFY(testing::writeRecordingTool(first.filePath(QStringLiteral("xfce4-about")), marker));
    QVERIFY(testing::writeRecordingTool(second.filePath(QStringLiteral("kinfocenter")), marker));
    // Not executable: not a tool.
    QFile plain(first.filePath(QStringLiteral("hardinfo")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    const std::optional<SysInfoTool> tool = findSysInfoTool({first.path(), second.path()});
    QVERIFY(tool);
    QCOMPARE(tool->program, second.filePath(QStringLiteral("kinfocenter")));

    const std::unique_ptr<Registry> registry = systemRegistry({first.path(), second.path()});
    QString value;
    QVERIFY(GetKeyValue(*registry, HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                        value));
    QCOMPARE(value, second.path());
    QCOMPARE(registry->sysInfoFileName(), QStringLiteral("kinfocenter"));
}

// The end-to-end road on this platform: a tool that needs an argument, in a folder with a
// blank in its name, found on the search path and started with that argument.
void tst_SysInfo::systemRegistryStartsTheToolWithItsArguments()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("system tools"));
    QVERIFY(QDir().mkpath(folder));
    const QString marker = dir.filePath(QStringLiteral("marker"));
    QVERIFY(testing::writeRecordingTool(folder + QStringLiteral("/gnome-control-center"), marker));
    const std::unique_ptr<Registry> registry = systemRegistry({folder});
    testing::ScriptedDialogs dialogs;

    StartSysInfo(*registry, dialogs);

    QVERIFY(dialogs.messages.isEmpty());
    QTRY_COMPARE(testing::recordedRun(marker),
                 (QStringList{QStringLiteral("ran"), QStringLiteral("info-overview")}));
}

void tst_SysInfo::systemRegistryWithoutToolIsUnavailable()
{
    QTemporaryDir empty;
    for (const QStringList &searchPath : {QStringList{empty.path()}, QStringList()}) {
        const std::unique_ptr<Registry> registry = systemRegistry(searchPath);
        QString value = QStringLiteral("before");
        QVERIFY(
            !GetKeyValue(*registry, HKEY_LOCAL_MACHINE, kSysInfoPathKey, kSysInfoPathValue, value));
        QCOMPARE(value, QString());
        testing::ScriptedDialogs dialogs;
        StartSysInfo(*registry, dialogs);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.first().text, kUnavailable);
    }
}

QTEST_GUILESS_MAIN(tst_SysInfo)
#include "tst_sysinfo.moc"
