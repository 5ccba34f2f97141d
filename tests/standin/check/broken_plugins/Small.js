// The dialog of the small test plug-in.
var SmallDialog = {
    "title": "Small",
    "parameters": [
        { "name": "Threshold", "type": "float", "label": "Lower threshold", "default": 2.5 },
        { "name": "Label", "type": "string", "label": "A line for the log", "default": "Small" }
    ]
};
