// quenfall: the window. Start-up: the application, the window with its controls and its
// device watch, then the event loop until the window closes. Exit code 0 in every case.
//
//   --emulate            talk to an emulated radio instead of a real one (also
//                        QUENFALL_EMULATE=1); for demonstrations and screenshots
//   --exit-when-shown    print "shown" once the window has been painted, then exit
//   --screenshot FILE    save the window as it was first painted to FILE, then exit
#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <memory>

#include "link/platform_link.h"
#include "ui/qt/demo_radio_link.h"
#include "ui/qt/desktop_services.h"
#include "ui/qt/flash_form.h"
#include "ui/qt/pictures.h"
#include "ui/qt/window_texts.h"

namespace {

struct StartOptions {
    bool Emulate = false;
    bool ExitWhenShown = false;
    QString ScreenshotFile;
};

StartOptions ReadOptions(const QStringList& arguments) {
    StartOptions options;
    const QByteArray emulate = qgetenv("QUENFALL_EMULATE");
    options.Emulate = !emulate.isEmpty() && emulate != "0";
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == u"--emulate") {
            options.Emulate = true;
        } else if (arguments[i] == u"--exit-when-shown") {
            options.ExitWhenShown = true;
        } else if (arguments[i] == u"--screenshot" && i + 1 < arguments.size()) {
            options.ScreenshotFile = arguments[++i];
        }
    }
    return options;
}

int Run(QApplication& application, quenfall::ui::DesktopServices& desktop) {
    using namespace quenfall;
    using namespace quenfall::ui;
    const StartOptions options = ReadOptions(QCoreApplication::arguments());

    std::unique_ptr<DeviceLink> platformLink;
    std::unique_ptr<DemoRadioLink> demoLink;
    if (options.Emulate) {
        demoLink = std::make_unique<DemoRadioLink>();
    } else {
        platformLink = MakePlatformDeviceLink();
    }
    DeviceLink& link = demoLink ? static_cast<DeviceLink&>(*demoLink) : *platformLink;

    TFlashForm::Options formOptions;
    if (demoLink) {
        // The emulated radio comes and goes through the emulated presence callback, not
        // through real USB notices.
        formOptions.RegisterWatch = nullptr;
    }
    TFlashForm FlashForm(link, desktop, formOptions);
    if (demoLink) demoLink->AttachTo(FlashForm);
    if (options.ExitWhenShown || !options.ScreenshotFile.isEmpty()) {
        QObject::connect(&FlashForm, &TFlashForm::FirstPainted, &FlashForm, [&] {
            if (!options.ScreenshotFile.isEmpty()) {
                const bool saved = FlashForm.grab().save(options.ScreenshotFile, "PNG");
                if (!saved) std::fprintf(stderr, "quenfall: cannot write %s\n", qPrintable(options.ScreenshotFile));
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
