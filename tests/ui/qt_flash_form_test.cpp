// The Qt face driven as a user drives it: the emulated radio behind the link, a stub in place
// of the file dialog and the message boxes, real Qt timers. What the window decides is
// tested once, in tests/window; here, what the face adds: the widgets as laid out and
// drawn, input and timers forwarded, boxes and the dialog handed to the desktop.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <fstream>
#include <optional>

#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "ui/qt/qt_flash_form.h"
#include "ui/qt/qt_controls.h"
#include "ui/qt/qt_texts.h"
#include "upgrade/status_texts.h"
#include "window/tooltips.h"
#include "window_run_fixtures.h"

using namespace quenfall;
using namespace quenfall::ui;

namespace {

struct ShownBox {
    QWidget* Owner = nullptr;
    BoxIcon Icon = BoxIcon::None;
    QString Caption;
    QString Text;
    qint64 At = 0;  // ms on the stub's clock
};

// The user at the desktop: answers the dialog from a script and closes every box at once.
class StubDesktop : public DesktopServices {
public:
    StubDesktop() { clock.start(); }

    std::optional<QString> OpenFileName(QWidget*, const QString& filter) override {
        filters << filter;
        if (answers.empty()) return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& suggested) override {
        saveDialogs << filter + QStringLiteral("|") + suggested;
        if (saveAnswers.empty()) return std::nullopt;
        const QString answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    void MessageBox(QWidget* owner, BoxIcon icon, const QString& caption, const QString& text) override {
        boxes.push_back({owner, icon, caption, text, clock.elapsed()});
        if (whileOpen) whileOpen(boxes.back());
    }
    // No, as a stray Enter in the box would answer.
    bool Question(QWidget* owner, const QString&, const QString& text) override {
        questions << text;
        questionOwners.push_back(owner);
        return false;
    }
    bool StartSystemMove(QWindow* window) override {
        moves += window != nullptr ? 1 : 0;
        return window != nullptr;
    }
    void OpenUrl(const QUrl& url) override { opened << url; }

    QElapsedTimer clock;
    std::deque<QString> answers;  // a null string cancels the dialog
    std::deque<QString> saveAnswers;
    QStringList saveDialogs;
    QStringList filters;
    QStringList questions;
    std::vector<QWidget*> questionOwners;
    std::vector<ShownBox> boxes;
    std::function<void(const ShownBox&)> whileOpen;
    int moves = 0;
    QList<QUrl> opened;
};

using test::RadioConfig;
using test::TwoSectionSpec;

QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes) {
    const QString path = dir.filePath(name);
    std::ofstream out(FileSystemPath(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

FlashFormOptions NoUsbWatch() {
    FlashFormOptions options;
    options.RegisterWatch = nullptr;
    return options;
}

template <typename T>
T* Control(QWidget& form, const char* name) {
    T* control = form.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) qFatal("no control %s", name);
    return control;
}

QString Status(QWidget& form) { return Control<LayoutLabel>(form, "Label5")->Text(); }

QString Std(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A history whose radio last took a model-17 package; keeps the answers it is told.
class Model17History : public window::RunObserver {
public:
    void RunEnded(const window::WindowRunEnd&) override { ++runs; }
    std::string NoticeAfterRun() override { return {}; }
    std::optional<ModelChange> ModelChangeBefore(const Package& package) override {
        ModelChange change;
        change.Serial = "EMULATED-0001";
        change.PackageModel = package.Header.ModelCode;
        change.Last.ModelCode = 17;
        change.Last.Package = "radio17.bin";
        change.Last.End = "2026-12-01T10:00:00.000Z";
        return change;
    }
    void ModelChangeAnswered(const ModelChange&, const std::shared_ptr<const Package>&, std::string_view,
                             bool allowed) override {
        answers.push_back(allowed);
    }
    std::vector<bool> answers;
    int runs = 0;
};

}  // namespace

class FlashFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString goodPath;

    bool SelectPackage(TFlashForm& form, StubDesktop& desktop, const QString& path) {
        desktop.answers.push_back(path);
        QTest::mouseClick(Control<QPushButton>(form, "Button1"), Qt::LeftButton);
        return desktop.answers.empty();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // A name no 8-bit code page holds: the loader must get it as it is.
        goodPath = WriteFile(dir, QStringLiteral("\u041f\u0440\u043e\u0448\u0438\u0432\u043a\u0430 \u6d4b\u8bd5.bin"),
                             WritePackage(TwoSectionSpec()));
    }

    void layoutAsDesigned() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(form.size(), QSize(770, 431));
        QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(form.windowFlags().testFlag(Qt::Window));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

        // Creation order, which is also the stacking order.
        QStringList order;
        for (QObject* child : form.children()) {
            if (child->isWidgetType()) order << child->objectName();
        }
        QCOMPARE(order, QStringList({"Image1", "Image2", "Label2", "SpeedButton1", "Label1", "SpeedButton2",
                                     "Image3", "Label5", "Label3", "Label6", "Label7", "Label8", "Image4",
                                     "Image5", "Label4", "Label9", "Edit1", "Button1", "Button2"}));

        const struct { const char* name; QRect geometry; } boxes[] = {
            {"Image1", {0, 0, 770, 431}},     {"Image2", {8, 16, 33, 34}},
            {"SpeedButton1", {729, 1, 38, 19}}, {"SpeedButton2", {708, 1, 25, 19}},
            {"Image3", {30, 350, 0, 22}},     {"Image4", {280, 314, 32, 32}},
            {"Image5", {246, 314, 32, 32}},   {"Edit1", {134, 161, 400, 23}},
            {"Button1", {538, 158, 110, 25}}, {"Button2", {655, 158, 75, 25}},
        };
        for (const auto& box : boxes) QCOMPARE(Control<QWidget>(form, box.name)->geometry(), box.geometry);
        const struct { const char* name; QPoint at; } labels[] = {
            {"Label2", {46, 24}},   {"Label1", {58, 163}},  {"Label5", {30, 325}},
            {"Label3", {604, 395}}, {"Label6", {134, 201}}, {"Label7", {134, 223}},
            {"Label8", {134, 259}}, {"Label4", {655, 395}}, {"Label9", {134, 280}},
        };
        for (const auto& label : labels) QCOMPARE(Control<QWidget>(form, label.name)->pos(), label.at);

        QCOMPARE(Control<QWidget>(form, "SpeedButton1")->toolTip(), QStringLiteral("Close"));
        QCOMPARE(Control<QWidget>(form, "SpeedButton2")->toolTip(), QStringLiteral("Minimized"));
        QCOMPARE(Control<QWidget>(form, "Image2")->toolTip(), ToQString(window::Tooltip(window::ControlId::Image2)));
        QCOMPARE(Control<QWidget>(form, "Label2")->toolTip(), ToQString(window::Tooltip(window::ControlId::Label2)));
        QVERIFY(Control<QWidget>(form, "Image2")->toolTip().startsWith(QStringLiteral("Key set ")));
        QVERIFY(Control<QWidget>(form, "Label6")->toolTip().isEmpty());
        QCOMPARE(Control<LayoutLabel>(form, "Label5")->palette().color(QPalette::WindowText), QColor(255, 0, 255));
        QCOMPARE(Control<LayoutLabel>(form, "Label4")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(Control<LayoutLabel>(form, "Label3")->font().underline());
        QVERIFY(Control<QLineEdit>(form, "Edit1")->isReadOnly());

        // Tab order: Edit1, Button1, Button2.
        auto* edit = Control<QWidget>(form, "Edit1");
        auto* next = edit->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        QCOMPARE(next, Control<QWidget>(form, "Button1"));
        next = next->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        QCOMPARE(next, Control<QWidget>(form, "Button2"));

        // Label7 keeps its carriage return and shows two lines.
        auto* step2 = Control<LayoutLabel>(form, "Label7");
        QCOMPARE(step2->Text(), ToQString(window::Utf16(window::Step2Text)));
        QVERIFY(step2->text().contains(u'\n'));
        QVERIFY(step2->height() >= 2 * step2->fontMetrics().height());
        QCOMPARE(Control<LayoutLabel>(form, "Label6")->Text(), ToQString(window::Utf16(window::Step1Text)));
        QCOMPARE(Control<LayoutLabel>(form, "Label8")->Text(), ToQString(window::Utf16(window::Step3Text)));
        QCOMPARE(Control<LayoutLabel>(form, "Label9")->Text(), ToQString(window::Utf16(window::Step4Text)));
        QVERIFY(Control<LayoutLabel>(form, "Label6")->height() < 2 * step2->fontMetrics().height());
    }

    void formShowWithoutRadio() {
        EmulatedRadio radio(RadioConfig());
        radio.Unplug();
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        QStringList statuses;
        connect(&form, &TFlashForm::StatusTextSet, [&](const QString& text) { statuses << text; });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(form.windowTitle(), QStringLiteral("Quenfall v7.1"));
        QCOMPARE(Control<LayoutLabel>(form, "Label2")->Text(), QStringLiteral("Quenfall v7.1"));
        QCOMPARE(Control<LayoutLabel>(form, "Label1")->Text(), QStringLiteral("Firmware"));
        QCOMPARE(Control<LayoutLabel>(form, "Label4")->Text(), QStringLiteral("For All Model."));
        QCOMPARE(Control<QPushButton>(form, "Button1")->text(), QStringLiteral("Select(*.bin,*.boot)"));
        QCOMPARE(Control<QPushButton>(form, "Button2")->text(), QStringLiteral("Upgrade"));
        QCOMPARE(statuses, QStringList{QStringLiteral(" No device detected!")});
        QCOMPARE(Status(form), QStringLiteral(" No device detected!"));
        QCOMPARE(Control<QWidget>(form, "Image3")->width(), 0);
        QVERIFY(!Control<QWidget>(form, "Image4")->isVisible());
        QVERIFY(!Control<QWidget>(form, "Image5")->isVisible());
        QVERIFY(!Control<QWidget>(form, "Label3")->isVisible());
        QCOMPARE(Control<QLineEdit>(form, "Edit1")->text(), QString());
        QVERIFY(desktop.boxes.empty());

        // Restoring the window does not run the show handler again.
        radio.PlugIn();
        form.hide();
        form.show();
        QCOMPARE(statuses.size(), 1);
    }

    void wholeUpgrade() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QVERIFY(SelectPackage(form, desktop, goodPath));
        QCOMPARE(desktop.filters, QStringList{QStringLiteral("Bin File (*.bin,*.boot) (*.bin *.boot)")});
        QCOMPARE(Control<QLineEdit>(form, "Edit1")->text(), goodPath);
        QVERIFY(form.Window().LoadedPackage() != nullptr);
        QVERIFY(desktop.boxes.empty());

        // The signals carry every text and width, in order (what they are is the window's:
        // tests/window); the widgets show the last.
        qint64 completeAt = -1;
        connect(&form, &TFlashForm::StatusTextSet, [&](const QString& text) {
            if (text == Std(UpgradeCompleteText)) completeAt = desktop.clock.elapsed();
        });
        QList<int> widths;
        connect(&form, &TFlashForm::ProgressWidthSet, [&](int width) { widths << width; });
        bool checkedWhileOpen = false;
        desktop.whileOpen = [&](const ShownBox&) {
            // The outcome is painted behind the box.
            QCOMPARE(Status(form), Std(UpgradeCompleteText));
            QVERIFY(Control<QWidget>(form, "Image4")->isVisible());
            checkedWhileOpen = true;
        };

        QTest::mouseClick(Control<QPushButton>(form, "Button2"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.boxes.empty(), 20000);

        QVERIFY(checkedWhileOpen);
        const ShownBox& box = desktop.boxes.front();
        QCOMPARE(box.Text, Std(CompletionMessage));
        QCOMPARE(box.Icon, BoxIcon::None);
        QCOMPARE(box.Owner, nullptr);
        QCOMPARE(box.Caption, form.Title());
        QCOMPARE(box.Caption, ApplicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
        // The box comes after the two-second pause.
        QVERIFY2(box.At - completeAt >= 1990, qPrintable(QString::number(box.At - completeAt)));

        QCOMPARE(widths, QList<int>({0, 177, 355, 532, 710, 0}));
        QCOMPARE(Control<QWidget>(form, "Image3")->width(), 0);
        QVERIFY(Control<QWidget>(form, "Image4")->isVisible());
        QVERIFY(!Control<QWidget>(form, "Image5")->isVisible());
        QVERIFY(radio.CompareSections(SectionsOf(*form.Window().LoadedPackage())).empty());

        // Closing after the run is allowed.
        QVERIFY(form.close());
    }

    void busyRefusesClosingSilently() {
        EmulatedRadio radio(RadioConfig());
        // The first block is never acknowledged: the upload stays under way for one answer
        // window, then ends as a communication error.
        radio.SetSilent(RequestMatch::Every(RequestKind::Block));
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(SelectPackage(form, desktop, goodPath));

        QTest::mouseClick(Control<QPushButton>(form, "Button2"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(form.Busy(), 5000);

        // Closing by the platform and by the close button goes through the window's refusal.
        QVERIFY(!form.close());
        QTest::mouseClick(Control<QWidget>(form, "SpeedButton1"), Qt::LeftButton);
        QVERIFY(form.isVisible());
        QVERIFY(desktop.boxes.empty());

        QTRY_COMPARE_WITH_TIMEOUT(Status(form), Std(CommunicationErrorText), 20000);
        QVERIFY(Control<QWidget>(form, "Image5")->isVisible());
        QTest::mouseClick(Control<QWidget>(form, "SpeedButton1"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void noRadioAtTheUpgradeClick() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(SelectPackage(form, desktop, goodPath));
        radio.Unplug();

        QTest::mouseClick(Control<QPushButton>(form, "Button2"), Qt::LeftButton);
        QCOMPARE(desktop.boxes.size(), std::size_t{1});
        QCOMPARE(desktop.boxes[0].Text, Std(CannotConnectMessage));
        QCOMPARE(desktop.boxes[0].Caption, QStringLiteral("Error"));
        QCOMPARE(desktop.boxes[0].Icon, BoxIcon::Error);
        QCOMPARE(desktop.boxes[0].Owner, &form);
        QCOMPARE(Status(form), QString());
    }

    // The question comes through the desktop's own Yes/No box, owned by the form; the stub
    // answers No, as a stray Enter would: nothing is sent and the status line stays empty.
    void modelChangeIsAskedInABoxOfTheForm() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        Model17History history;
        form.Window().SetRunObserver(&history);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(SelectPackage(form, desktop, goodPath));

        QTest::mouseClick(Control<QPushButton>(form, "Button2"), Qt::LeftButton);
        QCOMPARE(desktop.questions.size(), 1);
        QVERIFY(desktop.questions[0].contains(QStringLiteral("model code 17 (radio17.bin, 2026-12-01T10:00:00.000Z)")));
        QCOMPARE(desktop.questionOwners[0], &form);
        QCOMPARE(history.answers, std::vector<bool>{false});
        QTest::qWait(100);
        QVERIFY(!form.Busy());
        QCOMPARE(radio.Reads() + radio.Writes(), 0u);
        QCOMPARE(Status(form), QString());
        QVERIFY(desktop.boxes.empty());
        QCOMPARE(history.runs, 0);
    }

    void onlyTheLeftButtonOnTheBackgroundDrags() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* background = Control<QWidget>(form, "Image1");

        QTest::mousePress(background, Qt::RightButton, {}, QPoint(300, 100));
        QTest::mouseRelease(background, Qt::RightButton, {}, QPoint(300, 100));
        QTest::mousePress(background, Qt::MiddleButton, {}, QPoint(300, 100));
        QTest::mouseRelease(background, Qt::MiddleButton, {}, QPoint(300, 100));
        QCOMPARE(desktop.moves, 0);

        // Labels, the title icon and the progress bar take their own presses.
        QTest::mousePress(Control<QWidget>(form, "Label6"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mousePress(Control<QWidget>(form, "Image2"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mousePress(Control<QWidget>(form, "Label4"), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(desktop.moves, 0);

        QTest::mousePress(background, Qt::LeftButton, {}, QPoint(300, 100));
        QCOMPARE(desktop.moves, 1);
    }

    void handCursorOverLabel4() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* label4 = Control<QWidget>(form, "Label4");

        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), label4->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(label4, &move);
        QCOMPARE(form.cursor().shape(), Qt::PointingHandCursor);
        // The cursor is the window's: the label has none of its own.
        QVERIFY(!label4->testAttribute(Qt::WA_SetCursor));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(label4, &leave);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);

        // A click on Label4 opens nothing; only the hidden Label3 carries the address.
        QTest::mouseClick(label4, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(desktop.opened.isEmpty());
        auto* label3 = Control<QWidget>(form, "Label3");
        label3->show();
        QTest::mouseClick(label3, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl(ToQString(window::Utf16(window::HomePageAddress)))});
    }

    void deviceWatchReportsOneSecondLater() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        std::function<void()> changed;
        bool nativeWindowExisted = false;
        FlashFormOptions options;
        options.RegisterWatch = [&](QWidget& window, std::function<void()> onChange) {
            nativeWindowExisted = window.internalWinId() != 0;
            changed = std::move(onChange);
            DeviceRegistration registration;
            registration.Notifier = std::make_unique<DeviceNotifier>();
            return registration;
        };
        TFlashForm form(radio, desktop, options);
        QVERIFY(form.DeviceWatchRegistered());
        QVERIFY(nativeWindowExisted);
        QVERIFY(changed);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(Status(form), QString());

        QElapsedTimer clock;
        qint64 reportedAt = -1;
        connect(&form, &TFlashForm::StatusTextSet, [&](const QString& text) {
            if (text == Std(DeviceConnectedText) && reportedAt < 0) reportedAt = clock.elapsed();
        });
        clock.start();
        changed();
        QTest::qWait(900);
        changed();  // does not postpone the report, which would then come at 1900 ms
        QTRY_COMPARE_WITH_TIMEOUT(Status(form), Std(DeviceConnectedText), 5000);
        QVERIFY2(reportedAt >= 990 && reportedAt < 1800, qPrintable(QString::number(reportedAt)));

        radio.Unplug();
        changed();
        QTRY_COMPARE_WITH_TIMEOUT(Status(form), Std(NoDeviceText), 5000);
        QVERIFY(desktop.boxes.empty());
    }

    void enterPressesTheFocusedButton() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        TFlashForm form(radio, desktop, NoUsbWatch());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QStringList statuses;
        connect(&form, &TFlashForm::StatusTextSet, [&](const QString& text) { statuses << text; });

        auto* select = Control<QPushButton>(form, "Button1");
        select->setFocus();
        desktop.answers.push_back(goodPath);
        QTest::keyClick(select, Qt::Key_Return);
        QCOMPARE(desktop.filters.size(), 1);
        QVERIFY(form.Window().LoadedPackage() != nullptr);

        auto* upgrade = Control<QPushButton>(form, "Button2");
        upgrade->setFocus();
        QTest::keyClick(upgrade, Qt::Key_Enter);  // the keypad's Enter
        QCOMPARE(statuses.value(0), Std(EnteringBootModeText));
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.boxes.empty(), 20000);
        QCOMPARE(desktop.boxes[0].Text, Std(CompletionMessage));
        QCOMPARE(radio.ExitsAnswered(), 1u);
    }

    void failedRegistrationShowsItsNumberFirst() {
        EmulatedRadio radio(RadioConfig());
        StubDesktop desktop;
        FlashFormOptions options;
        options.RegisterWatch = [](QWidget&, std::function<void()>) {
            DeviceRegistration failed;
            failed.ErrorText = "1063";
            return failed;
        };
        TFlashForm form(radio, desktop, options);
        QCOMPARE(desktop.boxes.size(), std::size_t{1});
        QCOMPARE(desktop.boxes[0].Text, QStringLiteral("1063"));
        QCOMPARE(desktop.boxes[0].Icon, BoxIcon::None);
        QCOMPARE(desktop.boxes[0].Caption, form.Title());
        QVERIFY(!form.DeviceWatchRegistered());
    }
};

QTEST_MAIN(FlashFormTest)
#include "qt_flash_form_test.moc"
