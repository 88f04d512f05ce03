#include "app/Startup.h"

#include "app/Umain.h"
#include "dialogs/Messageform.h"
#include "dialogs/Uinptext.h"
#include "dialogs/ok_dialog.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    // Only async-signal-safe work here: wake the loop, which closes the window.
    char c = 1;
    ssize_t ignored = write(signalPipe[1], &c, 1);
    (void)ignored;
}

}  // namespace

bool ParseStartupOptions(int argc, char** argv, StartupOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--data-dir") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = "StendZorva: --data-dir needs a folder";
                return false;
            }
            options.dataDir = argv[++i];
        } else if (arg.rfind("--data-dir=", 0) == 0 && arg.size() > 11) {
            options.dataDir = arg.substr(11);
        } else {
            error = "StendZorva: unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::string StartupUsage()
{
    return "Usage: StendZorva [--data-dir DIR]\n"
           "  --data-dir DIR  keep the settings (StendZorva.ini) and the journal (StendZorva.log)\n"
           "                  in DIR instead of /var/lib/StendZorva; ports are DIR/COM1, DIR/COM2, ...\n"
           "  --help          show this text\n";
}

int RunApplication(QApplication& app, const StartupOptions& options)
{
    app.setApplicationName(QStringLiteral("StendZorva"));
    app.setQuitOnLastWindowClosed(false);

    // SIGTERM and SIGINT only wake the loop, which then closes the window the
    // normal way; caught from the start so an early signal is not lost.
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }

    auto window = std::make_unique<TMainZorvaForm>(options.dataDir);
    window->FormCreate();

    std::unique_ptr<QSocketNotifier> notifier;
    if (signalPipe[0] >= 0) {
        notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, window.get(), [&window] {
            char buf[16];
            while (read(signalPipe[0], buf, sizeof buf) > 0) {
            }
            window->close();
        });
    }

    // The general dialog windows exist, hidden, for the whole run.
    auto okDialog = std::make_unique<TFOkDialog>(window.get());
    auto messageForm = std::make_unique<TMessageForm>(window.get());
    auto inputForm = std::make_unique<TFormInpText>(window.get());
    FormInpText = inputForm.get();

    window->show();
    int code = app.exec();
    if (FormInpText == inputForm.get())
        FormInpText = nullptr;
    inputForm.reset();
    messageForm.reset();
    okDialog.reset();
    window.reset();
    return code;
}
