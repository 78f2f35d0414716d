#include "BoxPrompter.h"
#include "Form1.h"
#include "LinkBench.h"
#include "StartOptions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

namespace
{

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("linkbench"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
}

// The options are read before the window system is touched, so --help and --version work
// without a display.
StartOptionsResult readCommandLine(int &argc, char *argv[])
{
    QCoreApplication parsing(argc, argv);
    nameApplication();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("TCP test tool: listens, links, sends text or hexadecimal bytes once or "
                       "periodically, shows what comes back and forwards."));
    parser.addHelpOption();
    parser.addVersionOption();
    addStartOptions(parser);
    parser.process(parsing);
    return readStartOptions(parser);
}

} // namespace

int main(int argc, char *argv[])
{
    const StartOptionsResult start = readCommandLine(argc, argv);
    if (!start.error.isEmpty()) {
        std::fprintf(stderr, "linkbench: %s\n", qPrintable(start.error));
        return 2;
    }

    QApplication app(argc, argv);
    nameApplication();
    BoxPrompter prompter;
    LinkBench bench(prompter);
    Form1 form(bench);
    prompter.setWindow(&form);
    form.show();
    applyStartOptions(bench, start.options);
    return QApplication::exec();
}
