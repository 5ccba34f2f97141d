#include "standin/files/workspace_json.h"

#include <string>

#include "standin/files/output_file.h"
#include "standin/files/workspace_fields.h"

namespace nimbrel {

using json = nlohmann::ordered_json;
using workspace_file::fieldsToJson;

json mapToJson(const VolumeMap& map) {
    return fieldsToJson(map, workspace_file::kMapFields);
}

json workspaceToJson(const Workspace& workspace) {
    return fieldsToJson(workspace, workspace_file::kWorkspaceFields);
}

std::string dumpJson(const json& value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string workspaceText(const Workspace& workspace) {
    return dumpJson(workspaceToJson(workspace));
}

void writeWorkspaceFile(const Workspace& workspace, const std::string& path) {
    if (const auto reason = writeWholeFile(path, workspaceText(workspace)))
        throw WorkspaceFileError(path + ": cannot write the file: " + *reason);
}

}  // namespace nimbrel
