// The main of every benchmark that needs nothing before or after its runs:
// an application object (the engines' drivers are plugins loaded through
// it; the window benchmarks get a QApplication on the offscreen platform
// unless another is set), then Google Benchmark over the command line.
#include <benchmark/benchmark.h>

#ifdef VEXO_BENCH_WIDGETS
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
#ifdef VEXO_BENCH_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
