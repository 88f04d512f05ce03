// StendZorva: the operator's window of the ZORVA-TK GSM test stand.
#include "app/Umain.h"
#include "app/Startup.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    StartupOptions options;
    std::string error;
    if (!ParseStartupOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), StartupUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(StartupUsage().c_str(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    return RunApplication(app, options);
}
