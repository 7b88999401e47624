// The Qt face of the shop window driven as a user drives it, over a crate of emulated radios
// in real time, with a stub in place of the file dialog and the boxes. What the window
// decides is tested in tests/window; here, what the face adds: the table as rendered (its
// columns, the painted bar and icons, the names assistive technology reads), input and the
// refresh timer forwarded, closing asked of the window.
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <fstream>

#include "emulator/emulated_radio_source.h"
#include "german_catalogue.h"
#include "runs/radio_source.h"
#include "history/history_reading.h"
#include "package/package_writer.h"
#include "ui/qt/qt_shop_form.h"
#include "ui/qt/qt_texts.h"
#include "upgrade/status_texts.h"
#include "window/shop_texts.h"

using namespace quenfall;
using namespace quenfall::ui;
using window::ShopControl;

namespace {

class StubDesktop : public DesktopServices {
public:
    std::optional<QString> OpenFileName(QWidget*, const QString& filter) override {
        filters << filter;
        if (answers.empty()) return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& suggested) override {
        saveDialogs << filter + QStringLiteral("|") + suggested;
        if (saveAnswers.empty()) return std::nullopt;
        const QString answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    void MessageBox(QWidget*, BoxIcon, const QString&, const QString& text) override { boxes << text; }
    // No, as a stray Enter in the box would answer.
    bool Question(QWidget*, const QString&, const QString& text) override {
        questions << text;
        return false;
    }
    bool StartSystemMove(QWindow*) override { return false; }
    void OpenUrl(const QUrl&) override {}

    std::deque<QString> answers;
    std::deque<QString> saveAnswers;
    QStringList saveDialogs;
    QStringList filters;
    QStringList questions;
    QStringList boxes;
};

QString WritePackageFile(const QString& folder) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    std::vector<std::uint8_t> data(8 * 2048);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13);
    spec.Sections = {{0, 0, std::move(data)}};
    const auto bytes = WritePackage(spec);
    const QString path = folder + QStringLiteral("/fw.bin");
    std::ofstream(FileSystemPath(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// How many pixels of a cell are clearly green (the bar, the success icon's disc).
int GreenPixels(QTableWidget& table, int row, int column) {
    const QRect cell = table.visualRect(table.model()->index(row, column));
    const QImage picture = table.viewport()->grab(cell).toImage();
    int green = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.green() > 120 && c.green() > c.red() + 40 && c.green() > c.blue() + 40) ++green;
        }
    return green;
}

}  // namespace

class QtShopFormTest : public QObject {
    Q_OBJECT
private slots:
    void RowsAreRenderedAndEnterUpgradesEveryRadio();
    void SelectAndCloseAreHandedToTheWindow();
    void PostedTasksRunFromTheEventLoopInOrderAndGoWithTheForm();
    void AChosenLanguageNamesTheColumnsButtonsAndRows();
};

// The headings and the buttons are the face's, the rows' texts the window's: all of them in
// the chosen language, the values in them (serials, locations) as they are.
void QtShopFormTest::AChosenLanguageNamesTheColumnsButtonsAndRows() {
    const test::GermanCatalogueInUse german;
    // The form is made after the catalogue is chosen: its headings are set as it is built.
    struct Rig {
        QTemporaryDir folder;
        StubDesktop desktop;
        TShopForm form{desktop, [] {
                           TShopForm::Options options;
                           options.RegisterWatch = nullptr;
                           return options;
                       }()};
        EmulatedRadioSource radios{1, ProfileSelection{}};
        HistoryRecorder history{FileSystemPath(folder.path() + QStringLiteral("/history.jsonl"))};
        window::ShopWindow shop{radios, form.Face(), history, u"Quenfall"};
    } rig;
    QVERIFY(rig.folder.isValid());
    TShopForm& form = rig.form;
    form.Attach(rig.shop);
    rig.desktop.answers.push_back(WritePackageFile(rig.folder.path()));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Control(ShopControl::SelectButton), Qt::LeftButton);

    QTableWidget& table = *form.RadioTable();
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(table.horizontalHeaderItem(0)->text(), QStringLiteral("Anschluss"));
    // A heading the catalogue lacks stays English.
    QCOMPARE(table.horizontalHeaderItem(1)->text(), QStringLiteral("Serial"));
    QCOMPARE(qobject_cast<QPushButton*>(form.Control(ShopControl::UpgradeAllButton))->text(),
             QStringLiteral("Alle aktualisieren"));
    QCOMPARE(table.item(0, 1)->text(), QStringLiteral("EMULATED-0001 (emuliert)"));
    QCOMPARE(table.item(0, 3)->text(), QStringLiteral(" Das Gerät ist verbunden!"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quenfall Shop"));
}

void QtShopFormTest::RowsAreRenderedAndEnterUpgradesEveryRadio() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    StubDesktop desktop;
    TShopForm::Options options;
    options.RegisterWatch = nullptr;
    TShopForm form(desktop, options);
    EmulatedRadioSource radios(2, ProfileSelection{});
    HistoryRecorder history(FileSystemPath(folder.path() + QStringLiteral("/history.jsonl")));
    window::ShopWindow shop(radios, form.Face(), history, u"Quenfall");
    form.Attach(shop);
    desktop.answers.push_back(WritePackageFile(folder.path()));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quenfall Shop"));
    QVERIFY(!form.RefreshTimerOn());

    // Select's dialog, with the main window's filter in Qt's syntax.
    QTest::mouseClick(form.Control(ShopControl::SelectButton), Qt::LeftButton);
    QCOMPARE(desktop.filters, QStringList{QtFileFilter(ToQString(window::PackageFilter()))});
    QVERIFY(qobject_cast<QLabel*>(form.Control(ShopControl::PackageVerdict))->text().startsWith(u"Model code 0, 1 section"));

    QTableWidget& table = *form.RadioTable();
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.columnCount(), 7);
    QCOMPARE(table.horizontalHeaderItem(0)->text(), ToQString(window::Utf16(window::LocationHeading)));
    QCOMPARE(table.horizontalHeaderItem(4)->text(), ToQString(window::Utf16(window::ProgressHeading)));
    QCOMPARE(table.horizontalHeaderItem(6)->text(), ToQString(window::Utf16(window::OutcomeHeading)));
    QCOMPARE(table.accessibleName(), ToQString(window::Utf16(window::RadioListName)));
    QCOMPARE(form.Control(ShopControl::PackageEdit)->accessibleName(), ToQString(window::Utf16(window::PackagePathName)));
    QCOMPARE(table.item(0, 0)->text(), QStringLiteral("1-1.1"));
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("1-1.2"));
    QCOMPARE(table.item(1, 2)->text(), QStringLiteral("/dev/sdb"));
    QCOMPARE(table.horizontalHeaderItem(1)->text(), ToQString(window::Utf16(window::SerialHeading)));
    QCOMPARE(table.item(1, 1)->text(), QStringLiteral("EMULATED-0002 (emulated)"));
    QCOMPARE(GreenPixels(table, 0, 4), 0);  // no bar before a run
    QCOMPARE(GreenPixels(table, 0, 6), 0);  // no icon before a run
    // Upgrade all has the focus once a package is loaded.
    QCOMPARE(QApplication::focusWidget(), form.Control(ShopControl::UpgradeAllButton));
    // Tab goes through the controls in the window's tab order, skipping the disabled ones.
    QList<QWidget*> expected;
    for (ShopControl c : window::ShopTabOrder)
        if (form.Control(c)->isEnabled()) expected << form.Control(c);
    QList<QWidget*> chain;
    QWidget* start = form.Control(ShopControl::PackageEdit);
    QWidget* w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible() && form.isAncestorOf(w)) chain << w;
        w = w->nextInFocusChain();
    } while (w != start && chain.size() <= expected.size());
    QCOMPARE(chain, expected);

    // Enter in the table presses Upgrade all, the default button; the refresh timer runs
    // only while the runs go on.
    QTest::keyClick(table.viewport(), Qt::Key_Return);
    QVERIFY(form.RefreshTimerOn());
    QVERIFY(!form.Control(ShopControl::SelectButton)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!form.RefreshTimerOn(), 90000);

    for (int row = 0; row < 2; ++row) {
        QCOMPARE(table.item(row, 3)->text(), QString::fromUtf8(UpgradeCompleteText.data(), UpgradeCompleteText.size()));
        QCOMPARE(table.item(row, 4)->data(Qt::AccessibleTextRole).toString(), QStringLiteral("100 %"));
        QCOMPARE(table.item(row, 6)->data(Qt::AccessibleTextRole).toString(), ToQString(window::Utf16(window::SuccessIconDescription)));
        QVERIFY(GreenPixels(table, row, 4) > 100);  // the bar, painted the whole width
        QVERIFY(GreenPixels(table, row, 6) > 20);   // the success icon's green disc
    }
    QCOMPARE(qobject_cast<QLabel*>(form.Control(ShopControl::Summary))->text(), QStringLiteral("2 of 2 radios upgraded"));
    QCOMPARE(ReadHistoryFile(history.File()).Records.size(), std::size_t{2});
    QVERIFY(desktop.boxes.isEmpty());

    // Save record: the save dialog, then the rows as CSV in the file chosen.
    const QString record = folder.path() + QStringLiteral("/crate.csv");
    desktop.saveAnswers.push_back(record);
    QTest::mouseClick(form.Control(ShopControl::SaveRecordButton), Qt::LeftButton);
    QCOMPARE(desktop.saveDialogs,
             QStringList{QtFileFilter(ToQString(window::RecordFilter())) + QStringLiteral("|") + ToQString(window::RecordFileName)});
    QFile saved(record);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(saved.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(QStringLiteral("location,serial,emulated,node,package,sha256")));
    QVERIFY(lines[2].startsWith(QStringLiteral("1-1.2,EMULATED-0002,true,/dev/s")));
    QVERIFY(lines[2].contains(QStringLiteral(",fw.bin,")));

    // Station mode's check box, off until clicked; turned on over radios just upgraded with
    // this package, it upgrades none of them again.
    auto* station = qobject_cast<QCheckBox*>(form.Control(ShopControl::StationCheck));
    QVERIFY(station);
    QCOMPARE(station->text(), ToQString(window::Utf16(window::StationCheckText)));
    QVERIFY(!station->isChecked());
    QTest::mouseClick(station, Qt::LeftButton);
    QVERIFY(shop.StationOn());
    QVERIFY(station->isChecked());
    QVERIFY(!shop.Running());
    QVERIFY(!form.Control(ShopControl::UpgradeAllButton)->isEnabled());
    QTest::mouseClick(station, Qt::LeftButton);
    QVERIFY(!shop.StationOn());
    QVERIFY(!station->isChecked());
    QVERIFY(form.Control(ShopControl::UpgradeAllButton)->isEnabled());
}

void QtShopFormTest::SelectAndCloseAreHandedToTheWindow() {
    QTemporaryDir folder;
    StubDesktop desktop;
    TShopForm::Options options;
    options.RegisterWatch = nullptr;
    TShopForm form(desktop, options);
    EmulatedRadioSource radios(1, ProfileSelection{});
    HistoryRecorder history(FileSystemPath(folder.path() + QStringLiteral("/history.jsonl")));
    window::ShopWindow shop(radios, form.Face(), history, u"Quenfall");
    form.Attach(shop);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Enter on the focused Select opens its dialog (cancelled here).
    form.Control(ShopControl::SelectButton)->setFocus();
    QTest::keyClick(form.Control(ShopControl::SelectButton), Qt::Key_Return);
    QCOMPARE(desktop.filters.size(), 1);
    desktop.answers.push_back(WritePackageFile(folder.path()));
    QTest::mouseClick(form.Control(ShopControl::SelectButton), Qt::LeftButton);
    QTest::mouseClick(form.Control(ShopControl::UpgradeAllButton), Qt::LeftButton);
    QVERIFY(form.RefreshTimerOn());
    // Closing is asked of the window, which refuses while the run goes on and says why.
    QVERIFY(!form.close());
    QCOMPARE(desktop.boxes, QStringList{ToQString(window::Utf16(window::RunsGoOnText))});
    QVERIFY(form.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!form.RefreshTimerOn(), 90000);
    QVERIFY(form.close());
}

QTEST_MAIN(QtShopFormTest)
// The window asks its station's questions through Post: never at once (the poll that posts is
// still on the stack), in the order posted, and not at all once the form is gone.
void QtShopFormTest::PostedTasksRunFromTheEventLoopInOrderAndGoWithTheForm() {
    StubDesktop desktop;
    TShopForm::Options options;
    options.RegisterWatch = nullptr;
    std::vector<int> ran;
    {
        TShopForm form(desktop, options);
        window::ShopFace& face = form.Face();
        face.Post([&] {
            ran.push_back(1);
            face.Post([&] { ran.push_back(3); });
        });
        face.Post([&] { ran.push_back(2); });
        QVERIFY(ran.empty());
        QTRY_COMPARE(ran.size(), std::size_t{3});
        QCOMPARE(ran, (std::vector<int>{1, 2, 3}));
        face.Post([&] { ran.push_back(4); });
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(ran.size(), std::size_t{3});
}

#include "qt_shop_form_test.moc"
