#include "BoxPrompter.h"
#include "Form1.h"
#include "LinkBench.h"
#include "StartOptions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("linkbench"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("TCP test tool: listens, links, sends text or hexadecimal bytes once or "
                       "periodically, shows what comes back and forwards."));
    parser.addHelpOption();
    parser.addVersionOption();
    addStartOptions(parser);
    parser.process(app);
    const StartOptionsResult start = readStartOptions(parser);
    if (!start.error.isEmpty()) {
        std::fprintf(stderr, "linkbench: %s\n", qPrintable(start.error));
        return 2;
    }

    BoxPrompter prompter;
    LinkBench bench(prompter);
    Form1 form(bench);
    prompter.setWindow(&form);
    form.show();
    applyStartOptions(bench, start.options);
    return QApplication::exec();
}
