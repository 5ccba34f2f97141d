// Kelvane.js: the dialog of the Kelvane plug-in.
//
// The host shows these parameters to the user and keeps the values entered as
// named parameters, which the plug-in reads back by name when it runs. Every
// option is a pair: a switch (the names that begin with Do) that says whether
// the property is changed at all, and the value to set.
//
// Plain declarations only, so that any script engine and the stand-in host
// Nimbrel.exe (which reads this file without running it) see the same thing:
// one var whose value is JSON. docs/writing-plugins.md gives the format.

var KelvaneDialog = {
    "title": "Kelvane: change the properties of every map on the current VMR",
    "parameters": [
        { "name": "DoSetMin", "type": "switch", "default": 1,
          "label": "Set the lower threshold" },
        { "name": "Min", "type": "float", "default": 3.0, "enabledBy": "DoSetMin",
          "label": "Lower threshold" },
        { "name": "DoSetMinP", "type": "switch", "default": 1, "enabledBy": "DoSetMin",
          "label": "Give the lower threshold as a p value (t-maps only)" },
        { "name": "MinP", "type": "float", "default": 0.001, "enabledBy": "DoSetMinP",
          "label": "p value (two-tailed)" },

        { "name": "DoSetMax", "type": "switch", "default": 0,
          "label": "Set the upper threshold" },
        { "name": "Max", "type": "float", "default": 8.0, "enabledBy": "DoSetMax",
          "label": "Upper threshold" },

        { "name": "DoClusterSize", "type": "switch", "default": 0,
          "label": "Set the cluster-size threshold" },
        { "name": "ClusterSize", "type": "int", "default": 25, "enabledBy": "DoClusterSize",
          "label": "Cluster-size threshold" },

        { "name": "DoUseClusterSize", "type": "switch", "default": 0,
          "label": "Set whether the cluster-size threshold is applied" },
        { "name": "UseCluster", "type": "switch", "default": 1, "enabledBy": "DoUseClusterSize",
          "label": "Apply the cluster-size threshold" },

        { "name": "DoShowPosNegBoth", "type": "switch", "default": 0,
          "label": "Set which values are shown" },
        { "name": "PNB", "type": "int", "default": 2, "enabledBy": "DoShowPosNegBoth",
          "label": "Show",
          "choices": ["Positive", "Negative", "Both (pos and neg)"] },

        { "name": "DoTransparancy", "type": "switch", "default": 0,
          "label": "Set the transparency" },
        { "name": "Trans", "type": "float", "default": 1.0, "enabledBy": "DoTransparancy",
          "label": "Transparency factor" },

        { "name": "DoOverlayMaps", "type": "switch", "default": 0,
          "label": "Set which maps are overlaid" },
        { "name": "Overlay", "type": "string", "default": "All", "enabledBy": "DoOverlayMaps",
          "label": "Maps to overlay: All, or numbers and ranges such as 1,3-5" },

        { "name": "UseExactT", "type": "switch", "default": 0, "enabledBy": "DoSetMinP",
          "label": "Exact critical t for the p value (off: the halving search's t, as in earlier versions)" }
    ]
};
