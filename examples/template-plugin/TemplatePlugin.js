// The dialog of TemplatePlugin: the host shows it before each run and keeps
// what the user enters as parameters, which execute reads by name. One
// parameter of each type; the format is in writing-plugins.md.
var TemplatePluginDialog = {
    "title": "TemplatePlugin",
    "parameters": [
        { "name": "Threshold", "type": "float", "label": "Lower threshold of every map", "default": 3.0 },
        { "name": "Show", "type": "int", "label": "Values shown", "default": 2,
          "choices": ["Positive", "Negative", "Both"] },
        { "name": "Overlay", "type": "switch", "label": "Overlay every map", "default": 1 },
        { "name": "Note", "type": "string", "label": "A line for the log", "default": "Maps set by TemplatePlugin" }
    ]
};
