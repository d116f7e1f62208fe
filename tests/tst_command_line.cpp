#include "support/headless_platform.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The installed program's command line, run as a terminal user would: without a display.
class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void answersWithoutWindow_data();
    void answersWithoutWindow();
    void starts_data();
    void starts();

private:
    QProcess* program(bool withDisplay);

    QTemporaryDir m_config;
};

QProcess* CommandLineTest::program(bool withDisplay)
{
    auto* process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    if (withDisplay)
        environment.insert("QT_QPA_PLATFORM", headlessPlatform);
    // Never the user's own settings, should a copy start after all.
    environment.insert("XDG_CONFIG_HOME", m_config.path());
    process->setProcessEnvironment(environment);
    process->setProgram(QStringLiteral(PROGRAM_PATH));
    return process;
}

void CommandLineTest::answersWithoutWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("standardOutput"); // a regular expression
    QTest::addColumn<QString>("standardError");

    // The name it was started by: BD-CHATSLATE.exe on Windows.
    const QString name = QRegularExpression::escape(QFileInfo(QStringLiteral(PROGRAM_PATH)).fileName());
    const QString help = "^Usage: " + name + R"( \[options\]\n(.|\n)*-h, --help(.|\n)*-v, --version)";
    const QString version = "^BD-ChatSlate " CHATSLATE_VERSION "\n$";
    const QString tryHelp = "\nTry '" + name + " --help' for more information.\n$";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << help << "^$";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << help << "^$";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "^$";
    QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "^$";
    QTest::newRow("after a Qt option")
        << QStringList{"-platform", "xcb", "--version"} << 0 << version << "^$";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "^$"
                                    << "^" + name + ": Unknown option 'bogus'." + tryHelp;
    QTest::newRow("unknown with help") << QStringList{"--help", "--bogus"} << 2 << "^$"
                                       << "Unknown option 'bogus'." + tryHelp;
    QTest::newRow("argument") << QStringList{"notes.txt"} << 2 << "^$"
                              << "^" + name + ": Unexpected argument 'notes.txt'." + tryHelp;
    QTest::newRow("Qt option without its value") << QStringList{"-style"} << 2 << "^$"
                                                 << "Missing value after '-style'." + tryHelp;
}

void CommandLineTest::answersWithoutWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, standardOutput);
    QFETCH(QString, standardError);

    QProcess* process = program(false);
    process->setArguments(arguments);
    process->start();
    QVERIFY(process->waitForFinished(10000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    // Windows ends the lines with CR LF.
    const QString out = QString::fromLocal8Bit(process->readAllStandardOutput()).replace("\r\n", "\n");
    const QString err = QString::fromLocal8Bit(process->readAllStandardError()).replace("\r\n", "\n");
    QCOMPARE(process->exitCode(), exitCode);
    QVERIFY2(QRegularExpression(standardOutput).match(out).hasMatch(), qPrintable(out));
    QVERIFY2(QRegularExpression(standardError).match(err).hasMatch(), qPrintable(err));
}

void CommandLineTest::starts_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("withDisplay");

    QTest::newRow("no arguments") << QStringList{} << true;
    // Qt's own options reach QApplication: -platform gives this copy the display it lacks.
    QTest::newRow("Qt options") << QStringList{"-platform", headlessPlatform, "-reverse"} << false;
}

// The program keeps running with its window open until it is ended.
void CommandLineTest::starts()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, withDisplay);

    QProcess* process = program(withDisplay);
    process->setArguments(arguments);
    process->start();
    QVERIFY(process->waitForStarted());
    QVERIFY2(!process->waitForFinished(1000), process->readAllStandardError().constData());
    process->kill();
    process->waitForFinished();
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
