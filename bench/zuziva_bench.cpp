// Rendering a result page of 1,000 entries with the template engine:
// declaring the entries, and rendering them.
#include <benchmark/benchmark.h>

#include "app/ZuzIva.h"

#include <string>

namespace {

const char* const PageTemplate = R"(<html><head><title>{SC_KEY}</title></head>
<body>
<div class="head">Results for <b>{SC_KEY}</b>: {SC_COUNT}</div>
<!-- begin block youtube -->
<div class="entry" id="e{YT_INDEX}">
  <a href="xmd:play?id={YT_ID}"><img src="{YT_THUMB}" alt="{YT_TITLE}"></a>
  <span class="title">{YT_TITLE}</span> <span class="len">{YT_LENGTH}</span>
  <span class="views">{YT_VIEWS}</span> <span class="key">{SC_KEY}</span>
  <a href="xmd:download?id={YT_ID}&title={YT_TITLE_ENC}">Download</a>
</div>
<!-- end block youtube -->
<div class="pages"><!-- begin block pages --><a href="xmd:page?n={PG_N}">{PG_N}</a> <!-- end block pages --></div>
</body></html>)";

void Declare(TZuzIva& z, int entries) {
    z.SetVar("SC_KEY", "rainy day music");
    z.SetVar("SC_COUNT", std::to_string(entries));
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        z.BeginBlock("youtube");
        z.SetVar("YT_INDEX", n);
        z.SetVar("YT_ID", "vid" + n + "xYz_Q");
        z.SetVar("YT_THUMB", "http://127.0.0.1/vi/vid" + n + "/default.jpg");
        z.SetVar("YT_TITLE", "Song number " + n + " - Artist\\'s best");
        z.SetVar("YT_TITLE_ENC", "Song+number+" + n);
        z.SetVar("YT_LENGTH", "3:" + std::to_string(10 + i % 50));
        z.SetVar("YT_VIEWS", std::to_string(i * 37));
        z.EndBlock("youtube");
    }
    for (int p = 1; p <= 10; ++p) {
        z.BeginBlock("pages");
        z.SetVar("PG_N", std::to_string(p));
        z.EndBlock("pages");
    }
}

void BM_Declare1000(benchmark::State& state) {
    for (auto _ : state) {
        TZuzIva z;
        Declare(z, 1000);
        benchmark::DoNotOptimize(z.m_oVariables.Count());
    }
}
BENCHMARK(BM_Declare1000)->Unit(benchmark::kMillisecond);

void BM_Render1000(benchmark::State& state) {
    TZuzIva z;
    z.m_sTplString.SetText(PageTemplate);
    Declare(z, 1000);
    for (auto _ : state) {
        z.MakeHtml();
        benchmark::DoNotOptimize(z.m_sHTML.size());
    }
    state.counters["html_bytes"] = static_cast<double>(z.m_sHTML.size());
}
BENCHMARK(BM_Render1000)->Unit(benchmark::kMillisecond);

} // namespace
