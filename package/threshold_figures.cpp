#include "package/threshold_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "editing/map_update.h"
#include "host/host_log.h"
#include "stats/critical_t.h"

namespace kelvane::help {

namespace {

// A p as the user types it into the dialog.
struct TypedP {
    const char* text;
    float value() const { return std::strtof(text, nullptr); }
    double exact() const { return std::strtod(text, nullptr); }
};

// One threshold: what Kelvane stores on the map, and the exact critical t.
struct Threshold {
    float kelvane;
    double exact;
    bool solved;  // Kelvane's t came from the exact solver, not the search
};

Threshold thresholdAt(int32_t degreesOfFreedom, const TypedP& p) {
    const double widened = static_cast<double>(p.value());
    return {tThresholdFor(degreesOfFreedom, p.value()),
            solveCriticalT(static_cast<double>(degreesOfFreedom), p.exact()).t,
            criticalTOutcome(static_cast<double>(degreesOfFreedom), widened, kCriticalTTolerance).solved};
}

std::string tText(double t) {
    return formatText("%.4f", t);
}

// A small positive number with the given significant digits, without an
// exponent (0.0000840 rather than 8.40e-05).
std::string decimal(double value, int significant) {
    const int decimals = significant - 1 - static_cast<int>(std::floor(std::log10(value)));
    return formatText("%.*f", decimals < 0 ? 0 : decimals, value);
}

const TypedP kTableP[] = {{"0.05"}, {"0.01"}, {"0.001"}};
const int32_t kTableDegreesOfFreedom[] = {1, 2, 5, 10, 20, 50, 100, 1000};

// The worst cases are looked for over every degrees of freedom up to this.
constexpr int32_t kMeasuredDegreesOfFreedom = 2000;
const TypedP kMeasuredP[] = {{"0.05"}, {"0.01"}, {"0.005"}, {"0.001"}, {"0.0001"}};

// A p within the tolerance of the p of the search's first t ends the search
// after one try, and the t returned is a whole first step away.
constexpr int32_t kStartCaseDegreesOfFreedom = 20;

}  // namespace

std::string thresholdTable() {
    std::string html =
        "<table class=\"stack\" id=\"t-table\">\n"
        "  <caption>Two-tailed p: Kelvane&rsquo;s t beside the exact t</caption>\n"
        "  <thead>\n"
        "    <tr><th class=\"num\" rowspan=\"2\">Degrees of freedom</th>";
    for (const TypedP& p : kTableP) html += formatText("<th class=\"num\" colspan=\"2\">p = %s</th>", p.text);
    html += "</tr>\n    <tr>";
    for (std::size_t i = 0; i < std::size(kTableP); ++i)
        html += "<th class=\"num\">Kelvane</th><th class=\"num\">exact</th>";
    html += "</tr>\n  </thead>\n  <tbody>\n";
    for (const int32_t nu : kTableDegreesOfFreedom) {
        html += formatText("    <tr><td class=\"num\" data-label=\"Degrees of freedom\">%d</td>", nu);
        for (const TypedP& p : kTableP) {
            const Threshold t = thresholdAt(nu, p);
            html += formatText("<td class=\"num\" data-label=\"p = %s, Kelvane\">%s%s</td>", p.text,
                               tText(t.kelvane).c_str(), t.solved ? "&nbsp;*" : "");
            html +=
                formatText("<td class=\"num\" data-label=\"p = %s, exact\">%s</td>", p.text, tText(t.exact).c_str());
        }
        html += "</tr>\n";
    }
    html +=
        "  </tbody>\n</table>\n"
        "<p class=\"what\">* Beyond the search&rsquo;s reach: Kelvane uses the exact t. All values rounded to four "
        "decimals; Kelvane stores its t as a single-precision number.</p>\n";
    return html;
}

std::string exactReach() {
    // The largest degrees of freedom (among those measured) for which each p
    // is beyond the search's reach: the reach grows with the degrees of freedom.
    std::string byP;
    const TypedP reachP[] = {{"0.05"}, {"0.01"}, {"0.001"}, {"0.0001"}};
    for (std::size_t i = 0; i < std::size(reachP); ++i) {
        int32_t largest = 0;
        for (int32_t nu = 1; nu <= kMeasuredDegreesOfFreedom; ++nu)
            if (thresholdAt(nu, reachP[i]).solved) largest = nu;
        const std::string which =
            largest == 1 ? "1 degree of freedom" : formatText("up to %d degrees of freedom", largest);
        byP += formatText("%s<code>MinP</code> %s with %s", i == 0 ? "" : (i + 1 == std::size(reachP) ? " and " : ", "),
                          reachP[i].text, which.c_str());
    }
    auto searchP = [](double nu, double t) { return decimal(halvingSearchP(nu, t), 4); };
    const TypedP largeP{"0.2"};
    int32_t fewest = 1;
    while (fewest < kMeasuredDegreesOfFreedom && !thresholdAt(fewest, largeP).solved) ++fewest;
    return formatText(
        "<li>a p below the p of t = 4.5 (by more than the tolerance), which is %s for 1 degree of freedom, %s for "
        "10, %s for 100 and %s for 1000: for example %s;</li>\n"
        "<li>a p above the p of t = 1.5 (by more than the tolerance), which is %s for 1 degree of freedom, %s for "
        "10 and %s for 1000: for example <code>MinP</code> %s with %d or more degrees of freedom;</li>\n",
        searchP(1, 4.5).c_str(), searchP(10, 4.5).c_str(), decimal(halvingSearchP(100, 4.5), 3).c_str(),
        decimal(halvingSearchP(1000, 4.5), 3).c_str(), byP.c_str(), searchP(1, 1.5).c_str(), searchP(10, 1.5).c_str(),
        searchP(1000, 1.5).c_str(), largeP.text, fewest);
}

std::string worstCases() {
    struct Case {
        int32_t nu;
        TypedP p;
        std::string what;
    };
    // A p that the search meets at its first try, t = 3: written with enough
    // digits to lie within the tolerance.
    const std::string startP = formatText("%.6g", halvingSearchP(kStartCaseDegreesOfFreedom, kSearchStartT));
    std::vector<Case> cases;
    for (const TypedP& p : kMeasuredP) {
        Case worst{1, p, "the largest for this p"};
        double largest = -1.0;
        for (int32_t nu = 1; nu <= kMeasuredDegreesOfFreedom; ++nu) {
            const Threshold t = thresholdAt(nu, p);
            const double difference = std::fabs(static_cast<double>(t.kelvane) - t.exact);
            if (difference > largest) {
                largest = difference;
                worst.nu = nu;
            }
        }
        cases.push_back(worst);
    }
    cases.push_back({115, {"0.0001"}, "another case"});
    cases.push_back({1000, {"0.0000178"}, "a p near the lower end of the search&rsquo;s reach"});
    cases.push_back({kStartCaseDegreesOfFreedom, {startP.c_str()}, "a p within the tolerance of the p of t = 3"});

    std::string html =
        "<table class=\"stack\" id=\"t-worst\">\n" +
        formatText(
            "  <caption>Measured: where Kelvane&rsquo;s t is furthest from the exact t, over 1 to %d degrees of "
            "freedom, and single cases</caption>\n",
            kMeasuredDegreesOfFreedom) +
        "  <thead><tr><th class=\"num\">MinP</th><th class=\"num\">Degrees of freedom</th>"
        "<th class=\"num\">Kelvane&rsquo;s t</th><th class=\"num\">exact t</th>"
        "<th class=\"num\">p of Kelvane&rsquo;s t</th><th>Case</th></tr></thead>\n"
        "  <tbody>\n";
    for (const Case& c : cases) {
        const Threshold t = thresholdAt(c.nu, c.p);
        const double reached = halvingSearchP(static_cast<double>(c.nu), static_cast<double>(t.kelvane));
        html += formatText(
            "    <tr><td class=\"num\" data-label=\"MinP\">%s</td><td class=\"num\" data-label=\"Degrees of "
            "freedom\">%d</td><td class=\"num\" data-label=\"Kelvane&rsquo;s t\">%s</td>",
            c.p.text, c.nu, tText(t.kelvane).c_str());
        html += formatText(
            "<td class=\"num\" data-label=\"exact t\">%s</td><td class=\"num\" data-label=\"p of Kelvane&rsquo;s "
            "t\">%s</td><td data-label=\"Case\">%s</td></tr>\n",
            tText(t.exact).c_str(), decimal(reached, 3).c_str(), c.what.c_str());
    }
    html += "  </tbody>\n</table>\n";
    return html;
}

namespace {

// The plot's frame, in SVG units: degrees of freedom across, the p of
// Kelvane's t against the p asked up. Narrow enough that its 13-unit text
// stays about 12 pixels high on a 360-pixel-wide screen.
constexpr double kWidth = 360, kHeight = 290;
constexpr double kLeft = 44, kRight = 350, kTop = 10, kBottom = 244;
constexpr int32_t kMostPlotDegreesOfFreedom = 3000;
// The deviation shown, in percent of the p asked; beyond it a curve is cut.
constexpr double kShownDeviation = 50;
// The warning's bound, in percent: what lies inside the band gets no word in the log.
constexpr double kWarningDeviation = 10;

double xOf(double nu) {
    return kLeft + (kRight - kLeft) * nu / kMostPlotDegreesOfFreedom;
}

double yOf(double deviation) {
    const double shown = std::max(-kShownDeviation, std::min(kShownDeviation, deviation));
    return kTop + (kBottom - kTop) * (kShownDeviation - shown) / (2 * kShownDeviation);
}

struct Curve {
    TypedP p;
    const char* colour;
};
// Drawn in this order: the largest windows last, on top.
const Curve kCurves[] = {{{"0.05"}, "#1f5f8b"},
                         {{"0.001"}, "#2e7d32"},
                         {{"0.0001"}, "#7b3fa0"},
                         {{"0.01"}, "#b8620b"},
                         {{"0.005"}, "#c62828"}};

// How far, in percent, the p that Kelvane's t gives lies from the p asked.
double deviationAt(int32_t nu, const TypedP& p) {
    const double asked = static_cast<double>(p.value());
    return 100.0 * (pOfThreshold(nu, tThresholdFor(nu, p.value())) - asked) / asked;
}

// One point per degrees of freedom, but of each run of equal heights (to a
// tenth of a unit) only its ends.
std::string deviationLine(const Curve& curve) {
    std::vector<double> y;
    for (int32_t nu = 1; nu <= kMostPlotDegreesOfFreedom; ++nu)
        y.push_back(std::round(yOf(deviationAt(nu, curve.p)) * 10.0) / 10.0);
    std::string points;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const bool runEnd = i == 0 || i + 1 == y.size() || y[i] != y[i - 1] || y[i] != y[i + 1];
        if (runEnd)
            points += formatText("%s%.1f,%.1f", points.empty() ? "" : " ", xOf(static_cast<double>(i + 1)), y[i]);
    }
    return formatText("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"", curve.colour) + points +
           "\"/>\n";
}

}  // namespace

std::string searchPPlot() {
    std::string svg = formatText(
        "<svg viewBox=\"0 0 %.0f %.0f\" role=\"img\" aria-labelledby=\"p-plot-title\" font-size=\"13\" "
        "fill=\"#1d232b\">\n<title id=\"p-plot-title\">How far the p of Kelvane&rsquo;s t lies from the p asked "
        "for, over 1 to %d degrees of freedom, for p = 0.05, 0.01, 0.005, 0.001 and 0.0001</title>\n",
        kWidth, kHeight, kMostPlotDegreesOfFreedom);
    // The band within which the log says nothing, the grid and the axes.
    svg += formatText("<rect x=\"%.0f\" y=\"%.1f\" width=\"%.0f\" height=\"%.1f\" fill=\"#e4edf4\"/>\n", kLeft,
                      yOf(kWarningDeviation), kRight - kLeft, yOf(-kWarningDeviation) - yOf(kWarningDeviation));
    for (const int deviation : {-50, -25, 0, 25, 50})
        svg += formatText(
            "<path stroke=\"#d5dbe2\" d=\"M%.0f %.1fH%.0f\"/><text x=\"%.0f\" y=\"%.1f\" "
            "text-anchor=\"end\">%s%d%%</text>\n",
            kLeft, yOf(deviation), kRight, kLeft - 5, yOf(deviation) + 4, deviation > 0 ? "+" : "", deviation);
    svg += formatText("<path stroke=\"#56606c\" fill=\"none\" d=\"M%.0f %.0fV%.0fH%.0f\"/>\n", kLeft, kTop, kBottom,
                      kRight);
    for (const int nu : {1, 1000, 2000, 3000})
        svg += formatText(
            "<path stroke=\"#56606c\" d=\"M%.1f %.0fv5\"/><text x=\"%.1f\" y=\"%.0f\" "
            "text-anchor=\"%s\">%d</text>\n",
            xOf(nu), kBottom, xOf(nu), kBottom + 18, nu == 3000 ? "end" : "middle", nu);
    svg += formatText("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">degrees of freedom</text>\n",
                      (kLeft + kRight) / 2, kHeight - 6);
    for (const Curve& curve : kCurves) svg += deviationLine(curve);
    svg += "</svg>\n";
    return svg;
}

std::string searchPPlotLegend() {
    std::vector<const Curve*> byP;
    for (const Curve& curve : kCurves) byP.push_back(&curve);
    std::sort(byP.begin(), byP.end(), [](const Curve* a, const Curve* b) { return a->p.value() > b->p.value(); });
    std::string html = "<ul class=\"legend\">\n";
    for (const Curve* curve : byP)
        html += formatText("  <li><span class=\"swatch\" style=\"background:%s\"></span><code>MinP</code> %s</li>\n",
                           curve->colour, curve->p.text);
    html += "</ul>\n";
    return html;
}

}  // namespace kelvane::help
