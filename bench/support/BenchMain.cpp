#include <QCoreApplication>
#include <benchmark/benchmark.h>

// Every benchmark runs with an application object: the station's parts use Qt's event loop.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
