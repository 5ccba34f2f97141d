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

// The plot's frame, in SVG units: degrees of freedom on a logarithmic axis
// across, t up.
constexpr double kWidth = 640, kHeight = 330;
constexpr double kLeft = 40, kRight = 616, kTop = 12, kBottom = 290;
constexpr double kFewestDegreesOfFreedom = 5, kMostDegreesOfFreedom = 1000;
constexpr double kLowestT = 1.5, kHighestT = 7.0;
// Each sampled degrees of freedom is at least this factor above the last.
constexpr double kSampleFactor = 1.1;

double xOf(double nu) {
    return kLeft + (kRight - kLeft) * std::log(nu / kFewestDegreesOfFreedom) /
                       std::log(kMostDegreesOfFreedom / kFewestDegreesOfFreedom);
}

double yOf(double t) {
    return kBottom - (kBottom - kTop) * (t - kLowestT) / (kHighestT - kLowestT);
}

std::vector<int32_t> sampledDegreesOfFreedom() {
    std::vector<int32_t> sampled;
    for (double nu = kFewestDegreesOfFreedom; nu < kMostDegreesOfFreedom;) {
        sampled.push_back(static_cast<int32_t>(nu));
        nu = std::max(nu + 1.0, std::round(nu * kSampleFactor));
    }
    sampled.push_back(static_cast<int32_t>(kMostDegreesOfFreedom));
    return sampled;
}

struct Curve {
    TypedP p;
    const char* colour;
};
const Curve kCurves[] = {{{"0.05"}, "#1f5f8b"}, {{"0.01"}, "#b8620b"}, {{"0.001"}, "#2e7d32"}};

std::string polyline(const std::vector<int32_t>& degrees, const TypedP& p, bool exact, const char* style) {
    std::string points;
    for (const int32_t nu : degrees) {
        const Threshold t = thresholdAt(nu, p);
        points += formatText("%s%.0f,%.1f", points.empty() ? "" : " ", xOf(nu),
                             yOf(exact ? t.exact : static_cast<double>(t.kelvane)));
    }
    return formatText("<polyline fill=\"none\" %s points=\"", style) + points + "\"/>\n";
}

}  // namespace

std::string thresholdPlot() {
    std::string svg = formatText(
        "<svg viewBox=\"0 0 %.0f %.0f\" role=\"img\" aria-labelledby=\"t-plot-title\" font-size=\"13\" "
        "fill=\"#1d232b\">\n<title id=\"t-plot-title\">The lower threshold against the degrees of freedom for p = "
        "0.05, 0.01 and 0.001: Kelvane&rsquo;s t and the exact t</title>\n",
        kWidth, kHeight);
    // Axes, grid and their labels.
    svg += formatText("<path stroke=\"#56606c\" fill=\"none\" d=\"M%.0f %.0fV%.0fH%.0f\"/>\n", kLeft, kTop, kBottom,
                      kRight);
    for (int t = 2; t <= static_cast<int>(kHighestT); ++t)
        svg += formatText(
            "<path stroke=\"#d5dbe2\" d=\"M%.0f %.1fH%.0f\"/><text x=\"%.0f\" y=\"%.1f\" "
            "text-anchor=\"end\">%d</text>\n",
            kLeft, yOf(t), kRight, kLeft - 6, yOf(t) + 4, t);
    for (const int nu : {5, 10, 20, 50, 100, 200, 500, 1000})
        svg += formatText(
            "<path stroke=\"#56606c\" d=\"M%.1f %.0fv5\"/><text x=\"%.1f\" y=\"%.0f\" "
            "text-anchor=\"middle\">%d</text>\n",
            xOf(nu), kBottom, xOf(nu), kBottom + 18, nu);
    svg += formatText("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">degrees of freedom</text>\n",
                      (kLeft + kRight) / 2, kHeight - 4);
    svg += formatText("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"start\">t</text>\n", kLeft + 6, kTop + 10);
    // Kelvane's t in colour, the exact t dashed over it.
    const std::vector<int32_t> degrees = sampledDegreesOfFreedom();
    for (const Curve& curve : kCurves)
        svg += polyline(degrees, curve.p, false, formatText("stroke=\"%s\" stroke-width=\"3\"", curve.colour).c_str());
    for (const Curve& curve : kCurves)
        svg += polyline(degrees, curve.p, true, "stroke=\"#1d232b\" stroke-width=\"1\" stroke-dasharray=\"4 3\"");
    // The legend, top right, where the curves have fallen away.
    double y = kTop + 14;
    const double x = kRight - 190;
    for (const Curve& curve : kCurves) {
        svg += formatText(
            "<path stroke=\"%s\" stroke-width=\"3\" d=\"M%.0f %.0fh28\"/><text x=\"%.0f\" y=\"%.0f\">Kelvane, p = "
            "%s</text>\n",
            curve.colour, x, y, x + 36, y + 4, curve.p.text);
        y += 20;
    }
    svg += formatText(
        "<path stroke=\"#1d232b\" stroke-dasharray=\"4 3\" d=\"M%.0f %.0fh28\"/><text x=\"%.0f\" y=\"%.0f\">exact "
        "t</text>\n</svg>\n",
        x, y, x + 36, y + 4);
    return svg;
}

}  // namespace kelvane::help
