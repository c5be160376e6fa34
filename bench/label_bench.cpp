// The label template read and drawn: the panel's default template with
// sample values, and a template of 1,000 elements.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "common/Figures.h"
#include "common/GBench.h"
#include "common/LabelTemplates.h"
#include "label/Label.h"
#include "labeldraw/LabelPainter.h"
#include "settings/SettingsTable.h"

namespace {

const label::SampleValues kSamples = {{"@C", "C0402-33"}, {"@S0", "R1-2026"}, {"@Y", "2026"},
                                      {"@M", "01"},       {"@D", "19"},       {"@H", "08"},
                                      {"@m", "30"}};

void readAndDraw(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        const label::Label label = label::readLabel(text, kSamples);
        QImage picture = labeldraw::drawLabel(label, 1);
        benchmark::DoNotOptimize(picture);
    }
}

void ReadAndDrawDefault(benchmark::State& state) {
    readAndDraw(state, defaultLabelTemplate());
}
BENCHMARK(ReadAndDrawDefault)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void ReadAndDraw1000(benchmark::State& state) {
    static const std::string text = labelTemplateWithElements(1000);
    readAndDraw(state, text);
}
BENCHMARK(ReadAndDraw1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void Read1000(benchmark::State& state) {
    static const std::string text = labelTemplateWithElements(1000);
    for (auto _ : state) {
        label::Label label = label::readLabel(text, kSamples);
        benchmark::DoNotOptimize(label);
    }
}
BENCHMARK(Read1000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

double milliseconds(const std::vector<BenchRun>& runs, const char* name) {
    const BenchRun* run = findRun(runs, name);
    return run != nullptr ? run->GetAdjustedRealTime() : -1;  // the unit is ms
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);  // texts need fonts
    const std::vector<BenchRun> runs = runBenchmarks(argc, argv);
    const double defaults = milliseconds(runs, "ReadAndDrawDefault");
    const double thousand = milliseconds(runs, "ReadAndDraw1000");
    report({"9. Label: the default template read and drawn", fixed(defaults, 2) + " ms", "< 5 ms",
            defaults >= 0 && defaults < 5});
    report({"9. Label: 1,000 elements read and drawn", fixed(thousand, 1) + " ms", "< 50 ms",
            thousand >= 0 && thousand < 50});
    report({"9. Label: 1,000 elements read (of the above)",
            fixed(milliseconds(runs, "Read1000"), 1) + " ms", "", std::nullopt});
    return 0;
}
