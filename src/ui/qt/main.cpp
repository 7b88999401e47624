// quenfall: the window. Start-up: the application, the window with its controls and its
// device watch, then the event loop until the window closes. Exit code 0 in every case.
// The options are the window's (window/start_options.h).
#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "startup/window_link.h"
#include "ui/qt/qt_desktop_services.h"
#include "ui/qt/qt_flash_form.h"
#include "ui/qt/qt_pictures.h"
#include "ui/qt/qt_texts.h"
#include "window/start_options.h"

namespace {

quenfall::window::StartOptions ReadOptions() {
    std::vector<std::u16string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i) arguments.push_back(all[i].toStdU16String());
    std::optional<std::u16string> emulate;
    using quenfall::window::EmulateVariable;
    if (qEnvironmentVariableIsSet(EmulateVariable)) emulate = qEnvironmentVariable(EmulateVariable).toStdU16String();
    return quenfall::window::ReadStartOptions(arguments, emulate);
}

int Run(QApplication& application, quenfall::ui::DesktopServices& desktop) {
    using namespace quenfall;
    using namespace quenfall::ui;
    const window::StartOptions options = ReadOptions();

    QObject loop;
    startup::WindowLink link(options, [&loop](std::function<void()> task) {
        QMetaObject::invokeMethod(&loop, std::move(task), Qt::QueuedConnection);
    });
    TFlashForm::Options formOptions;
    if (!link.WantsUsbWatch()) formOptions.RegisterWatch = nullptr;
    TFlashForm FlashForm(link.Link(), desktop, formOptions);
    link.Attach(FlashForm.Window());
    QTimer advance;
    if (EmulatedRadioLink* emulated = link.Emulated()) {
        QObject::connect(&advance, &QTimer::timeout, &loop, [emulated] { emulated->Advance(); });
        advance.start(EmulatedRadioLink::AdvanceIntervalMs);
    }
    if (options.ExitsWhenShown()) {
        const QString screenshot = ToQString(options.ScreenshotFile);
        QObject::connect(&FlashForm, &TFlashForm::FirstPainted, &FlashForm, [&, screenshot] {
            if (!screenshot.isEmpty()) {
                const bool saved = FlashForm.grab().save(screenshot, "PNG");
                if (!saved) std::fprintf(stderr, "quenfall: cannot write %s\n", qPrintable(screenshot));
            }
            if (options.ExitWhenShown) {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
            }
            QCoreApplication::exit(0);
        });
    }
    FlashForm.show();
    application.exec();
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(quenfall::ui::ApplicationIcon());
    // Ties the window to the installed desktop entry (taskbar grouping, Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("quenfall"));
    quenfall::ui::QtDesktopServices desktop;
    const QString title =
        quenfall::ui::ApplicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    try {
        return Run(application, desktop);
    } catch (const std::exception& error) {
        desktop.MessageBox(nullptr, quenfall::ui::BoxIcon::Error, title,
                           quenfall::ui::DefaultErrorText(QString::fromUtf8(error.what())));
    } catch (...) {
        desktop.MessageBox(nullptr, quenfall::ui::BoxIcon::Error, title, QString());
    }
    return 0;
}
