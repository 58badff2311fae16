#pragma once

#include "shell/JobProgress.h"

#include <benchmark/benchmark.h>

// A job progress that shows nothing and keeps how the job ended.
class SilentProgress : public JobProgress
{
public:
    void invokeUpdateProgress(const QString&, int, const QString&) override {}
    void invokeSucceed(const QString& s) override { result = s; }
    void invokeErrorOccurred(const QString& e) override { result = QStringLiteral("error: ") + e; }
    void invokeTipsWait(const QString&) override {}
    QString result;
};

// Runs the registered benchmarks inside an application object of type App.
template<typename App>
int g_runBenchmarks(int argc, char** argv)
{
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
