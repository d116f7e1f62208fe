#include "support/main_window_fixture.h"
#include "support/second_copy_process.h"
#include "windows/common/tick_box.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// Two copies of the program on one share folder, each with its own settings file: what one posts, the
// other shows with its next refresh.
class TwoCopiesTest : public QObject
{
    Q_OBJECT

private slots:
    void postsReachTheOtherCopy();

private:
    QProcess* startSecondCopy(const QStringList& arguments) { return m_secondCopy.start(this, arguments); }

    SecondCopyProcess m_secondCopy;
};

void TwoCopiesTest::postsReachTheOtherCopy()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.settingsStore.values().insert("AUTO_REFRESH_TICKBOX", "1");
    fixture.writeLog("\r\n");
    m_secondCopy.storeShare(fixture.share());
    fixture.open();

    // The other copy posts; this one's own refresh timer brings the entry.
    QProcess* poster = startSecondCopy({"post", "from the other copy"});
    QVERIFY(poster->waitForFinished(10000));
    QCOMPARE(poster->exitCode(), 0);
    QTRY_VERIFY(fixture.liveText().contains("from the other copy"));

    // And the other way round.
    QProcess* watcher = startSecondCopy({"wait-for", "from this copy"});
    QVERIFY(watcher->waitForReadyRead(10000));
    fixture.ownText()->setPlainText("from this copy");
    QTest::mouseClick(fixture.postButton(), Qt::LeftButton);
    QVERIFY(fixture.messages.errors().isEmpty());
    QVERIFY(watcher->waitForFinished(10000));
    QCOMPARE(watcher->exitCode(), 0);

    QCOMPARE(fixture.readLog(),
             QByteArray("from this copy \r\n \r\nfrom the other copy \r\n \r\n\r\n\r\n\r\n"));
}

QTEST_MAIN(TwoCopiesTest)
#include "tst_two_copies.moc"
