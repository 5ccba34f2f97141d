#pragma once
// The help page's figures on the lower threshold from a p value, as HTML
// fragments: worked out by the plug-in's own computation (the halving search,
// and the exact solver where the search cannot reach) beside the exact t.

#include <string>

namespace kelvane::help {

// The t table: for each degrees of freedom and p, Kelvane's t and the exact t.
std::string thresholdTable();

// The targets for which Kelvane uses the exact t instead of the search.
std::string exactReach();

// The measured cases where Kelvane's t is furthest from the exact t.
std::string worstCases();

// An inline SVG plot of how far the p that Kelvane's t gives lies from the p
// asked for, against the degrees of freedom, for the common p values.
std::string searchPPlot();

// The plot's legend, as an HTML list: the colour of each p.
std::string searchPPlotLegend();

}  // namespace kelvane::help
