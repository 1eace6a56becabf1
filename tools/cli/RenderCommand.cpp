// `zelto render IN OUT`: one offline render per input and the printing of its
// report. All the work is in Renderer; this file must not touch the plug-in
// itself.
#include <cstdio>
#include <optional>

#include "tools/analysis/Plot.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/Renderer.h"

namespace zelto {

int runRender(const ParsedArgs& args) {
    RenderOptions opt = renderOptions(args);
    JobPlan plan = planJobs(args);
    installSignalHandlers();
    plan.prepare();
    JsonWriter j;
    if (plan.json && plan.jobs.size() > 1) j.beginArray();
    for (size_t k = 0; k < plan.jobs.size(); ++k) {
        opt.input = plan.jobs[k].input;
        opt.output = plan.jobs[k].output;
        opt.progressLabel = progressLabel(plan, k);
        std::optional<LevelPlot> plot;
        if (!plan.plots.empty()) plot.emplace(std::nullopt, opt.delivery->truePeakDb);
        opt.observer = plot ? &*plot : nullptr;
        RenderReport report;
        try {
            report = render(opt);
            if (plot) plot->write(plan.plots[k], report);
            plan.finish(k);
        } catch (...) {
            plan.rethrow(std::current_exception());
        }
        plan.rename(k, report);
        if (plan.json) {
            reportJson(j, report);
        } else if (!plan.quiet) {
            if (k > 0) std::fputs("\n", plan.report);
            std::fputs(reportText(report).c_str(), plan.report);
            std::fflush(plan.report);
        }
        for (const auto& w : report.warnings) {
            std::fprintf(stderr, "zelto: warning: %s\n", w.c_str());
        }
    }
    if (plan.json) {
        if (plan.jobs.size() > 1) j.endArray();
        std::fputs(j.str().c_str(), plan.report);
    }
    return kExitOk;
}

}  // namespace zelto
