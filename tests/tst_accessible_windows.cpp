#include "support/main_window_fixture.h"
#include "windows/main/live_view.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The program's windows as a screen reader walks them: the right roles, a name on every control, and
// nothing the user cannot see.
class AccessibleWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowShowsNamedControlsOnly_data();
    void mainWindowShowsNamedControlsOnly();
    void settingsWindowIsANamedDialog();
    void cleanup();

private:
    // Every interface below root, depth first, by the objectName of its object.
    static QList<QAccessibleInterface*> tree(QAccessibleInterface* root);
    static QStringList objectNames(const QList<QAccessibleInterface*>& interfaces);
    // The objectNames of the controls among them that a screen reader could not name.
    static QStringList unnamed(const QList<QAccessibleInterface*>& interfaces);
};

QList<QAccessibleInterface*> AccessibleWindowsTest::tree(QAccessibleInterface* root)
{
    QList<QAccessibleInterface*> all;
    for (int index = 0; index < root->childCount(); ++index) {
        QAccessibleInterface* child = root->child(index);
        all.append(child);
        all.append(tree(child));
    }
    return all;
}

QStringList AccessibleWindowsTest::objectNames(const QList<QAccessibleInterface*>& interfaces)
{
    QStringList names;
    for (QAccessibleInterface* iface : interfaces)
        names.append(iface->object() ? iface->object()->objectName() : QString());
    return names;
}

QStringList AccessibleWindowsTest::unnamed(const QList<QAccessibleInterface*>& interfaces)
{
    QStringList names;
    for (QAccessibleInterface* control : interfaces)
        // The panes a text field lays its text and scroll bars out in are no controls of their own.
        if (control->role() != QAccessible::Client && control->text(QAccessible::Name).trimmed().isEmpty())
            names.append(control->object()->objectName());
    return names;
}

void AccessibleWindowsTest::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void AccessibleWindowsTest::mainWindowShowsNamedControlsOnly_data()
{
    QTest::addColumn<QString>("height");
    QTest::addColumn<bool>("lowerBandShown");
    QTest::newRow("as designed") << QString() << false;
    // A taller window in the store uncovers the working fields: then they are there for the user too.
    QTest::newRow("taller") << QStringLiteral("9000") << true;
}

void AccessibleWindowsTest::mainWindowShowsNamedControlsOnly()
{
    QFETCH(QString, height);
    QFETCH(bool, lowerBandShown);
    MainWindowFixture fixture;
    if (!height.isEmpty())
        fixture.settingsStore.values().insert(QStringLiteral("MAIN-Height"), height);
    MainWindow* window = fixture.open();
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window);
    QCOMPARE(frame->role(), QAccessible::Window);
    QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("BRAMBLEDYNE - BD-CHATSLATE"));

    const QList<QAccessibleInterface*> controls = tree(frame);
    const QStringList names = objectNames(controls);
    for (const char* shown : {"BD_CHATSLATE_LIVE_TEXTBOX", "BD_CHATSLATE_MY_TEXT_TEXTBOX", "CHATSLATE_BUTTON",
                              "AlwaysOnTopTimer_TICKBOX", "EXIT_BUTTON", "BD_CHATSLATE_CREATOR"})
        QVERIFY2(names.contains(QLatin1String(shown)), shown);
    // Hidden constants never; the working fields only where the user sees them.
    for (const char* hidden : {"EMPTY_TEXTBOX", "SLASH_CHATSLATE_LIVE_LOG_FILENAME", "POST_TO_TOP_TICKBOX"})
        QVERIFY2(!names.contains(QLatin1String(hidden)), hidden);
    for (const char* working : {"COMBINED_TEXT_TEXTBOX", "LINE_END_TEXTBOX", "BD_CHATSLATE_SHARE_TEXTBOX"})
        QVERIFY2(names.contains(QLatin1String(working)) == lowerBandShown, working);

    QCOMPARE(unnamed(controls), QStringList());
    QAccessibleInterface* ownText = QAccessible::queryAccessibleInterface(fixture.ownText());
    QCOMPARE(ownText->text(QAccessible::Name), QStringLiteral("Your text"));
    QVERIFY(!ownText->text(QAccessible::Description).isEmpty());
    QAccessibleInterface* liveView = QAccessible::queryAccessibleInterface(fixture.liveView());
    QCOMPARE(liveView->role(), QAccessible::EditableText);
    QVERIFY(liveView->state().readOnly);
    QCOMPARE(liveView->textInterface()->text(0, liveView->textInterface()->characterCount()),
             QStringLiteral("Please Configure BD-ChatSlate Share Location..."));
}

void AccessibleWindowsTest::settingsWindowIsANamedDialog()
{
    MainWindowFixture fixture;
    fixture.open();
    QString shareName;
    QStringList withoutName{QStringLiteral("not looked at")};
    QAccessible::Role role = QAccessible::NoRole;
    QTimer::singleShot(0, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        role = QAccessible::queryAccessibleInterface(dialog)->role();
        withoutName = unnamed(tree(QAccessible::queryAccessibleInterface(dialog)));
        auto* share = dialog->findChild<QLineEdit*>(QStringLiteral("BD_CHATSLATE_SHARE_TEXTBOX"));
        shareName = QAccessible::queryAccessibleInterface(share)->text(QAccessible::Name);
        dialog->close();
    });
    fixture.settingsButton()->click();
    QCOMPARE(role, QAccessible::Dialog);
    QCOMPARE(withoutName, QStringList());
    QCOMPARE(shareName, QStringLiteral("Shared folder location"));
}

QTEST_MAIN(AccessibleWindowsTest)
#include "tst_accessible_windows.moc"
