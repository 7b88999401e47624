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

#include "startup/shop_start.h"
#include "startup/window_link.h"
#include "ui/qt/qt_desktop_services.h"
#include "ui/qt/qt_flash_form.h"
#include "ui/qt/qt_pictures.h"
#include "ui/qt/qt_shop_form.h"
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

// Once the form has been painted: --screenshot saves it, --exit-when-shown says so; either ends the program.
void ExitWhenShown(QWidget& form, const quenfall::window::StartOptions& options) {
    const QString screenshot = quenfall::ui::ToQString(options.ScreenshotFile);
    if (!screenshot.isEmpty()) {
        const bool saved = form.grab().save(screenshot, "PNG");
        if (!saved) std::fprintf(stderr, "quenfall: cannot write %s\n", qPrintable(screenshot));
    }
    if (options.ExitWhenShown) {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
    }
    QCoreApplication::exit(0);
}

// quenfall --shop: the shop window over the platform's radios or an emulated crate.
int RunShop(QApplication& application, quenfall::ui::DesktopServices& desktop,
            const quenfall::window::StartOptions& options, const QString& title) {
    using namespace quenfall;
    using namespace quenfall::ui;
    TShopForm::Options formOptions;
    // Emulated radios come and go during their runs only, which follow them on their own.
    if (options.Emulate) formOptions.RegisterWatch = nullptr;
    TShopForm form(desktop, formOptions);
    startup::ShopStart shop(options, form.Face(), ToU16(title));
    form.Attach(shop.Window());
    if (options.ExitsWhenShown()) {
        QObject::connect(&form, &TShopForm::FirstPainted, &form, [&form, &options] { ExitWhenShown(form, options); });
    }
    form.show();
    application.exec();
    return 0;
}

int Run(QApplication& application, quenfall::ui::DesktopServices& desktop, const QString& title) {
    using namespace quenfall;
    using namespace quenfall::ui;
    const window::StartOptions options = ReadOptions();
    if (options.Shop) return RunShop(application, desktop, options, title);

    QObject loop;
    startup::WindowLink link(options, [&loop](std::function<void()> task) {
        QMetaObject::invokeMethod(&loop, std::move(task), Qt::QueuedConnection);
    });
    TFlashForm::Options formOptions;
    if (!link.WantsUsbWatch()) formOptions.RegisterWatch = nullptr;
    TFlashForm FlashForm(link.Link(), desktop, formOptions);
    link.Attach(FlashForm.Window());
    QTimer advance;
    if (std::function<void()> passTime = link.Advance()) {
        QObject::connect(&advance, &QTimer::timeout, &loop, std::move(passTime));
        advance.start(startup::WindowLink::AdvanceIntervalMs);
    }
    if (options.ExitsWhenShown()) {
        QObject::connect(&FlashForm, &TFlashForm::FirstPainted, &FlashForm,
                         [&FlashForm, &options] { ExitWhenShown(FlashForm, options); });
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
        return Run(application, desktop, title);
    } catch (const std::exception& error) {
        desktop.MessageBox(nullptr, quenfall::ui::BoxIcon::Error, title,
                           quenfall::ui::DefaultErrorText(QString::fromUtf8(error.what())));
    } catch (...) {
        desktop.MessageBox(nullptr, quenfall::ui::BoxIcon::Error, title, QString());
    }
    return 0;
}
