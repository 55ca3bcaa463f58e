#include "shell/Config.h"
#include "shell/FileLocations.h"
#include "shell/IniFile.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <unistd.h>

#include <utility>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("VEXO_BARCODE.ini")); }

    void writeFile(const QByteArray& text) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray fileText() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray stored(const char* section, const char* key) const
    {
        return IniFile(path()).readString(section, key, "<missing>");
    }

    QTemporaryDir dir;
};

const QByteArray firstStartFile = "[Coms]\n"
                                  "baud=57600\n"
                                  "port=COM11\n"
                                  "bluetooth=0\n"
                                  "portname=\n"
                                  "baud2=57600\n"
                                  "port2=COM12\n"
                                  "bluetooth2=0\n"
                                  "portname2=\n"
                                  "dualComPorts=0\n"
                                  "[Barcode]\n"
                                  "bcHeight=50\n"
                                  "bcWidth=100\n"
                                  "bcIncludeNumber=1\n"
                                  "bcTopMargin=35\n"
                                  "bcLeftMargin=8\n"
                                  "bcVerticalPitch=67\n"
                                  "bcHorizontalPitch=128\n"
                                  "bcColumns=5\n"
                                  "bcRows=13\n";

TEST_F(ConfigTest, FirstStartWritesEveryKeyWithItsDefaultInOrder)
{
    const CONFIG config(path());
    EXPECT_EQ(fileText(), firstStartFile);
    EXPECT_EQ(config.baud, 11);
    EXPECT_EQ(config.port, 10);
    EXPECT_EQ(config.port2, 11);
    EXPECT_TRUE(config.bcIncludeNumber);
    EXPECT_EQ(config.bcRows, 13);
}

TEST_F(ConfigTest, FileIsNamedAfterTheExecutableBesideIt)
{
    const QFileInfo name(CONFIG::defaultFileName());
    EXPECT_EQ(name.dir(), QDir(QCoreApplication::applicationDirPath()));
    EXPECT_EQ(name.fileName(), QStringLiteral("test_config.ini"));
}

TEST(FileLocations, BesideAWritableProgramElseInTheUsersDataFolderAndHelpFromTheShareFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray xdgBefore = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", xdgBefore); });
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data"))));

    // A copied folder: every file beside the executable, help pages too.
    const QDir meet(root.filePath(QStringLiteral("meet")));
    ASSERT_TRUE(meet.mkpath(QStringLiteral("help")));
    const FileLocations copied = FileLocations::forExecutable(meet.filePath(QStringLiteral("VEXO_BARCODE")));
    EXPECT_EQ(copied.dataFolder, meet.path());
    EXPECT_EQ(copied.settingsFile, meet.filePath(QStringLiteral("VEXO_BARCODE.ini")));
    EXPECT_EQ(copied.helpParent, meet.path());

    // A folder the program cannot write: the superuser writes anywhere but /proc.
    QString locked = QStringLiteral("/proc");
    if (geteuid() != 0) {
        locked = root.filePath(QStringLiteral("usr/bin"));
        ASSERT_TRUE(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    }
    const auto unlock = qScopeGuard([&] {
        if (geteuid() != 0)
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    const QString userData = root.filePath(QStringLiteral("data/vexo-barcode"));
    const FileLocations installed = FileLocations::forExecutable(locked + QStringLiteral("/vexo-barcode"));
    EXPECT_EQ(installed.dataFolder, userData);
    EXPECT_TRUE(QFileInfo(userData).isDir()) << "made at the first start";
    EXPECT_EQ(installed.settingsFile, userData + QStringLiteral("/vexo-barcode.ini"));

    // No help beside the program: the installed share folder's.
    const QDir usr(root.filePath(QStringLiteral("usr")));
    ASSERT_TRUE(usr.mkpath(QStringLiteral("share/vexo-barcode/help")));
    ASSERT_TRUE(usr.mkpath(QStringLiteral("local/bin")));
    EXPECT_EQ(FileLocations::forExecutable(usr.filePath(QStringLiteral("local/bin/vexo-barcode"))).helpParent,
              usr.filePath(QStringLiteral("local/bin"))) << "no share folder there: the not-found page names the program's";
    EXPECT_EQ(FileLocations::forExecutable(usr.filePath(QStringLiteral("bin/vexo-barcode"))).helpParent,
              usr.filePath(QStringLiteral("share/vexo-barcode")));
}

// A meet's folder that can no longer be written (a write-protected stick,
// another user) is still the meet's place: start-up names it and ends,
// and no empty meet is begun in the user's data folder.
TEST(FileLocations, AMeetsFolderThatCannotBeWrittenStaysItsPlace)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray xdgBefore = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", xdgBefore); });
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data"))));

    for (const QString& meetFile : {QStringLiteral("VEXO_BARCODE.ini"), QStringLiteral("VEXO_ACC.db")}) {
        const QString meet = root.filePath(QStringLiteral("meet-") + meetFile);
        ASSERT_TRUE(QDir().mkpath(meet));
        QFile file(meet + QLatin1Char('/') + meetFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        // The superuser writes past permissions but not into an immutable folder.
        const bool super = geteuid() == 0;
        const auto lock = [&](bool on) {
            if (super)
                return QProcess::execute(QStringLiteral("chattr"), {on ? QStringLiteral("+i") : QStringLiteral("-i"), meet}) == 0;
            return QFile::setPermissions(meet, on ? QFile::ReadOwner | QFile::ExeOwner
                                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        if (!lock(true) || canCreateFilesIn(meet)) {
            lock(false);
            GTEST_SKIP() << "no folder here refuses new files to this user";
        }
        const auto unlock = qScopeGuard([&] { lock(false); });

        const FileLocations places = FileLocations::forExecutable(meet + QStringLiteral("/VEXO_BARCODE"));
        EXPECT_EQ(places.dataFolder, meet) << meetFile.toStdString();
        EXPECT_EQ(places.settingsFile, meet + QStringLiteral("/VEXO_BARCODE.ini"));
        EXPECT_FALSE(QFileInfo::exists(root.filePath(QStringLiteral("data/vexo-barcode")))) << "nothing made elsewhere";
    }
}

TEST_F(ConfigTest, PortTextMustMatchExactly)
{
    struct Case {
        QByteArray text;
        qint32 index;
    };
    // An unrecognised port keeps the index 0 of a new object, and is
    // written back as COM1.
    for (const Case& c : {Case{"com3", 0}, Case{"COM 3", 0}, Case{"COM3", 2}, Case{"COM50", 49},
                          Case{"COM51", 0}, Case{"COM0", 0}}) {
        writeFile("[Coms]\nport=" + c.text + "\nport2=" + c.text + "\n");
        const CONFIG config(path());
        EXPECT_EQ(config.port, c.index) << c.text.constData();
        EXPECT_EQ(config.port2, c.index) << c.text.constData();
        EXPECT_EQ(stored("Coms", "port"), CONFIG::portTable()[c.index]);
    }
}

TEST_F(ConfigTest, UnknownRateBecomesTheFirstRate)
{
    writeFile("[Coms]\nbaud=9601\nbaud2=115200\n");
    const CONFIG config(path());
    EXPECT_EQ(config.baud, 0);
    EXPECT_EQ(config.baud2, 12);
    EXPECT_EQ(stored("Coms", "baud"), "110");
    EXPECT_EQ(stored("Coms", "baud2"), "115200");
}

TEST_F(ConfigTest, UnknownRateOnReloadKeepsTheCurrentIndex)
{
    CONFIG config(path());
    config.baud = 6;
    writeFile("[Coms]\nbaud=abc\nport=nonsense\n");
    config.load();
    EXPECT_EQ(config.baud, 11) << "unreadable text is the default 57600";
    EXPECT_EQ(config.port, 10) << "an unknown port keeps the index held";
    writeFile("[Coms]\nbaud=12345\n");
    config.baud = 6;
    config.load();
    EXPECT_EQ(config.baud, 6);
}

TEST_F(ConfigTest, IntegersReadDecimalOrHexadecimal)
{
    struct Case {
        QByteArray text;
        qint32 value;
    };
    for (const Case& c : {Case{"0x20", 32}, Case{"0X1f", 31}, Case{"abc", 50}, Case{"0x", 50},
                          Case{"0xg", 50}, Case{"-7", -7}, Case{"+7", 7}, Case{"12abc", 50}, Case{"", 50},
                          Case{"2147483647", 2147483647}, Case{"2147483648", 50}, Case{"-2147483648", -2147483647 - 1},
                          Case{"0x7fffffff", 2147483647}, Case{"0x100000000", 50}}) {
        writeFile("[Barcode]\nbcHeight=" + c.text + "\n");
        const CONFIG config(path());
        EXPECT_EQ(config.bcHeight, c.value) << c.text.constData();
        EXPECT_EQ(stored("Barcode", "bcHeight"), QByteArray::number(c.value)) << c.text.constData();
    }
}

TEST_F(ConfigTest, BooleansReadAsIntegers)
{
    writeFile("[Coms]\nbluetooth=2\nbluetooth2=-1\ndualComPorts=0x0\n[Barcode]\nbcIncludeNumber=0\n");
    CONFIG config(path());
    EXPECT_TRUE(config.bluetooth);
    EXPECT_TRUE(config.bluetooth2);
    EXPECT_FALSE(config.dualComPorts);
    EXPECT_FALSE(config.bcIncludeNumber);
    EXPECT_EQ(stored("Coms", "bluetooth"), "1");
    EXPECT_EQ(stored("Coms", "bluetooth2"), "1");

    writeFile("[Coms]\nbluetooth=yes\n[Barcode]\nbcIncludeNumber=no\n");
    config.load();
    EXPECT_FALSE(config.bluetooth) << "unreadable text is the default";
    EXPECT_TRUE(config.bcIncludeNumber) << "unreadable text is the default";
}

TEST_F(ConfigTest, NamesIgnoreCaseAndValuesAreTrimmed)
{
    writeFile("[coms]\r\n  PORT =  COM3  \r\nPortName= Finish line A \r\n[BARCODE]\r\nbcrows=\t7\r\n");
    const CONFIG config(path());
    EXPECT_EQ(config.port, 2);
    EXPECT_EQ(config.portname, "Finish line A");
    EXPECT_EQ(config.bcRows, 7);
    // Rewritten in place, keeping the file's line ends and its one section
    // of each name.
    const QByteArray text = fileText();
    EXPECT_TRUE(text.startsWith("[coms]\r\nport=COM3\r\nportname=Finish line A\r\nbaud=57600\r\n")) << text.constData();
    EXPECT_EQ(text.count("[Coms]") + text.count("[coms]"), 1);
    EXPECT_EQ(text.count("\n"), text.count("\r\n"));
}

TEST_F(ConfigTest, ForeignLinesKeysAndSectionsSurvive)
{
    writeFile("; written by hand\n"
              "[Devices]\n"
              "3=/dev/ttyUSB0\n"
              "\n"
              "[Coms]\n"
              "colour=blue\n"
              "port=COM4\n"
              "not a setting\n"
              "\n"
              "[Other]\n"
              "baud=1\n");
    CONFIG config(path());
    config.dualComPorts = true;
    config.save(ConfigSections::Coms);

    const QByteArray text = fileText();
    EXPECT_TRUE(text.startsWith("; written by hand\n[Devices]\n3=/dev/ttyUSB0\n\n[Coms]\ncolour=blue\nport=COM4\n"
                                "not a setting\nbaud=57600\n"))
        << text.constData();
    EXPECT_TRUE(text.contains("dualComPorts=1\n\n[Other]\nbaud=1\n[Barcode]\nbcHeight=50\n")) << text.constData();
    EXPECT_EQ(IniFile(path()).keys("devices"), QList<QByteArray>{"3"});
    EXPECT_EQ(stored("Devices", "3"), "/dev/ttyUSB0");
}

TEST_F(ConfigTest, EachSaveLeavesTheOtherSectionAsStored)
{
    CONFIG mainWindow(path());
    CONFIG barcodeWindow(path());

    barcodeWindow.bcColumns = 4;
    barcodeWindow.save(ConfigSections::Barcode);
    mainWindow.port = 2;
    mainWindow.save(ConfigSections::Coms);
    EXPECT_EQ(stored("Barcode", "bcColumns"), "4");
    EXPECT_EQ(stored("Coms", "port"), "COM3");

    barcodeWindow.bcRows = 3;
    barcodeWindow.save(ConfigSections::Barcode);
    EXPECT_EQ(stored("Coms", "port"), "COM3");
    EXPECT_EQ(stored("Barcode", "bcRows"), "3");
}

TEST_F(ConfigTest, LongValueReadAsItsFirst2047Characters)
{
    const QByteArray name(3000, 'x');
    writeFile("[Coms]\nportname=" + name + "\n");
    const CONFIG config(path());
    EXPECT_EQ(config.portname, name.left(2047));
    EXPECT_EQ(stored("Coms", "portname").size(), 2047);
}

TEST_F(ConfigTest, UnwritableFileRaisesWithItsFullPath)
{
    const QString expected = QStringLiteral("Unable to write to ") + QFileInfo(path()).absoluteFilePath();

    // A folder in the file's place cannot be written by anyone, not even by
    // a test run as the superuser.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("VEXO_BARCODE.ini")));
    try {
        CONFIG config(path());
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), expected);
    }

    const QString missingFolder = dir.filePath(QStringLiteral("gone/VEXO_BARCODE.ini"));
    EXPECT_THROW(CONFIG{missingFolder}, Exception);
}

TEST_F(ConfigTest, ReadOnlyFileRaisesAndStaysAsItWas)
{
    CONFIG config(path());
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser may write a read-only file";
    const QByteArray before = fileText();
    config.port = 3;
    try {
        config.save(ConfigSections::Coms);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + QFileInfo(path()).absoluteFilePath());
    }
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(config.port, 3) << "the settings in memory stay changed";
}

TEST_F(ConfigTest, LineBreakInAValueIsRefused)
{
    CONFIG config(path());
    config.portname = "A\n[Barcode]\nbcRows=0";
    EXPECT_THROW(config.save(ConfigSections::Coms), Exception);
    EXPECT_EQ(fileText(), firstStartFile);
}

TEST(IniFile, MissingFileOrSectionReadsTheFallback)
{
    QTemporaryDir dir;
    const IniFile file(dir.filePath(QStringLiteral("none.ini")));
    EXPECT_EQ(file.readString("Coms", "baud", "fallback"), "fallback");
    EXPECT_TRUE(file.keys("Devices").isEmpty());
}

TEST(IniFile, FirstOfTwoKeysCountsAndIsTheOneReplaced)
{
    QTemporaryDir dir;
    IniFile file(dir.filePath(QStringLiteral("a.ini")));
    QFile raw(file.fileName());
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write("[S]\nk=1\nK=2\n=3\n[t]\nk=4");
    raw.close();
    EXPECT_EQ(file.readString("s", "K", ""), "1");
    EXPECT_EQ(file.keys("S"), QList<QByteArray>{"k"});
    file.writeString("S", "k", "5");
    file.writeString("T", "new", "6");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.readAll(), "[S]\nk=5\nK=2\n=3\n[t]\nk=4\nnew=6\n");
}

TEST(IniFile, EachLineKeepsItsOwnLineEnd)
{
    // A file edited by hand on two systems mixes line ends; a write leaves
    // every line it does not write as it was, and new lines take the first
    // line's end. A key's line keeps its end when its value is replaced.
    QTemporaryDir dir;
    IniFile file(dir.filePath(QStringLiteral("a.ini")));
    QFile raw(file.fileName());
    for (const auto& [before, after] :
         {std::pair<QByteArray, QByteArray>{"[S]\nk=1\r\n; note\r\n[t]\r\nx=\r\r\n",
                                            "[S]\nk=5\r\n; note\r\n[t]\r\nx=\r\r\n"},
          {"[t]\r\n; note\n[S]\nk=1\n", "[t]\r\n; note\n[S]\nk=5\n"},
          {"[t]\r\nx=1\n", "[t]\r\nx=1\n[S]\r\nk=5\r\n"}}) {
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly | QIODevice::Truncate));
        raw.write(before);
        raw.close();
        file.writeString("S", "k", "5");
        ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
        EXPECT_EQ(raw.readAll(), after) << before.constData();
        raw.close();
    }
}

} // namespace
