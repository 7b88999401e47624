// quenfall: the window. Start-up: the application, the window with its controls and its
// device watch, then the event loop until the window closes. Exit code 0 in every case.
// The options are the window's (window/start_options.h).
#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string_view>
#include <exception>
#include <memory>
#include <vector>

#include "platform/user_language.h"
#include "startup/shop_start.h"
#include "startup/window_link.h"
#include "ui/qt/qt_desktop_services.h"
#include "ui/qt/qt_flash_form.h"
#include "ui/qt/qt_pictures.h"
#include "ui/qt/qt_shop_form.h"
#include "ui/qt/qt_texts.h"
#include "window/start_options.h"
#include "text/translation.h"

namespace {

// Qt's own options, which QApplication takes off the command line: with a value, and without.
constexpr std::string_view QtValueOptions[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                               "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-style",
                                               "-stylesheet", "-session", "-display", "-geometry", "-title"};
constexpr std::string_view QtFlagOptions[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

// Read before the application exists, so that --help, --version and a usage error need no
// display: the words as the system passed them, less Qt's own options.
quenfall::window::StartOptions ReadOptions(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (std::find(std::begin(QtFlagOptions), std::end(QtFlagOptions), word) != std::end(QtFlagOptions)) continue;
        if (std::find(std::begin(QtValueOptions), std::end(QtValueOptions), word) != std::end(QtValueOptions)) {
            ++i;
            continue;
        }
        arguments.push_back(QString::fromLocal8Bit(argv[i]).toStdU16String());
    }
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
        if (!saved) {
            const std::string message = quenfall::text::Fill(quenfall::text::Tr("cannot write {file}"),
                                                             {{"file", screenshot.toStdString()}});
            std::fprintf(stderr, "quenfall: %s\n", message.c_str());
        }
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

int Run(QApplication& application, quenfall::ui::DesktopServices& desktop, const QString& title,
        const quenfall::window::StartOptions& options) {
    using namespace quenfall;
    using namespace quenfall::ui;
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
    quenfall::UseUserLanguage();
    const quenfall::window::StartOptions options = ReadOptions(argc, argv);
    if (!options.Error.empty()) {
        std::fprintf(stderr, "quenfall: %s\n%s", options.Error.c_str(), quenfall::window::StartUsage().c_str());
        return 2;
    }
    if (options.Help || options.Version) {
        const std::string text = options.Help ? quenfall::window::StartUsage() : quenfall::window::StartVersion();
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setWindowIcon(quenfall::ui::ApplicationIcon());
    // Ties the window to the installed desktop entry (taskbar grouping, Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("quenfall"));
    quenfall::ui::QtDesktopServices desktop;
    const QString title =
        quenfall::ui::ApplicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    try {
        return Run(application, desktop, title, options);
    } catch (const std::exception& error) {
        desktop.MessageBox(nullptr, quenfall::ui::BoxIcon::Error, title,
                           quenfall::ui::DefaultErrorText(QString::fromUtf8(error.what())));
    } catch (...) {
        desktop.MessageBox(nullptr, quenfall::ui::BoxIcon::Error, title, QString());
    }
    return 0;
}
