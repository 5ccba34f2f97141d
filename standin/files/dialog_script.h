#pragma once
// Dialog scripts: the GUI script a plug-in names with getGUIScript declares
// the parameters of its dialog. The stand-in host reads those declarations,
// without running any script, and gives every parameter that neither the
// workspace nor --param sets the default the script declares.
//
// The format, a strict subset of JavaScript whose value is plain JSON so that
// any script engine and this small reader parse it alike, is described for
// plug-in authors in docs/writing-plugins.md ("The dialog script"); a test
// holds that description to this reader.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin/files/declared_parameters.h"
#include "standin/host/workspace.h"

namespace nimbrel {

// A dialog script that cannot be used; what() is one line naming the file,
// the place and what was expected.
class DialogScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class DialogType { Switch, Int, Float, String };

// "switch", "int", "float", "string".
const char* dialogTypeName(DialogType type);

struct DialogParameter {
    std::string name;
    DialogType type = DialogType::Switch;
    std::string label;
    // Held as the host holds it: an integer for a switch and an int, a float,
    // or a text.
    Parameter defaultValue;
    std::vector<std::string> choices;  // int only: the labels of 0, 1, 2, ...
    std::string enabledBy;             // a switch of the same script, or empty
};

struct DialogScript {
    std::string variable;  // the declared name
    std::string title;
    std::vector<DialogParameter> parameters;  // in the script's order

    // The parameter of that name, or null.
    const DialogParameter* find(const std::string& name) const;
    // Every parameter's name with the kind the host holds it as.
    DeclaredParameters declared() const;
};

// The longest text a string parameter can hold: the host's buffer less its
// terminating zero.
inline constexpr std::size_t kLongestDialogText = kLongestTextParameter;

// Reads a dialog script from its text; source names it in errors. Throws
// DialogScriptError.
DialogScript parseDialogScript(const std::string& text, const std::string& source);
// Reads the dialog script at path. Throws DialogScriptError.
DialogScript readDialogScript(const std::string& path);

// Where the dialog script a plug-in names is looked for: beside the plug-in
// module. Empty when the plug-in names none.
std::string dialogScriptBeside(const std::string& pluginPath, const std::string& guiScript);

// Gives every parameter of the script that the workspace lacks its default;
// returns their names, in the script's order. Parameters the workspace has
// keep their values and kinds.
std::vector<std::string> applyDialogDefaults(const DialogScript& script, Workspace& workspace);

// A parameter's value as a short text: 1, 0.001, "All".
std::string parameterValueText(const Parameter& parameter);

}  // namespace nimbrel
