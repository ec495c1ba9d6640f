#include "app/application.h"
#include "platform/desktop_services.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (const auto missing = ticora::missingDisplay()) {
        std::fprintf(stderr, "ticora: %s\n", qUtf8Printable(*missing));
        return 1;
    }
    ticora::prepareDesktopEnvironment();
    QApplication app(argc, argv);
    ticora::prepareApplication();
    return ticora::runTicora(ticora::desktopServices());
}
