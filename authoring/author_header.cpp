// Writes nimbrel_plugin.h: the C header a plug-in author builds against.

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/author_constants.h"
#include "authoring/author_files.h"
#include "authoring/host_catalog.h"
#include "authoring/record_layout.h"

namespace kelvane::authoring {
namespace {

constexpr std::size_t kCommentWidth = 100;

// One paragraph of a C comment: its text, how far in it stands, and how much
// further its later lines stand. An empty text is an empty line.
struct Paragraph {
    std::string text;
    std::size_t indent = 0;
    std::size_t hang = 0;
};

// The paragraphs as one C comment of lines at most kCommentWidth long: "/* "
// before the first line, " * " before the others, " */" after the last.
std::string comment(const std::vector<Paragraph>& paragraphs) {
    std::string lines;
    const auto addLine = [&lines](const std::string& line) {
        lines += (lines.empty() ? "/*" : " *") + (line.empty() ? "" : " " + line) + "\n";
    };
    for (const Paragraph& paragraph : paragraphs) {
        std::istringstream words(paragraph.text);
        std::string word, line;
        std::size_t indent = paragraph.indent;
        while (words >> word) {
            if (!line.empty() && 3 + indent + line.size() + 1 + word.size() > kCommentWidth) {
                addLine(std::string(indent, ' ') + line);
                line.clear();
                indent = paragraph.indent + paragraph.hang;
            }
            line += (line.empty() ? "" : " ") + word;
        }
        addLine(line.empty() ? line : std::string(indent, ' ') + line);
    }
    lines.insert(lines.size() - 1, " */");
    return lines;
}

std::string comment(const std::string& text) {
    return comment(std::vector<Paragraph>{{text}});
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

void writePreamble(std::ostream& out) {
    out << comment(
               {{std::string(kAuthorHeaderFile) +
                 ": the boundary between Nimbrel and a plug-in module, for C (C11) and C++ (C++11 or later). Written "
                 "by "
                 "kelvane_author_files from the host function list: do not edit it. writing-plugins.md describes the "
                 "boundary, host-functions.md every host function."},
                {""},
                {"A plug-in module exports seven functions under plain names (NIMBREL_PLUGIN_EXPORT), hands the host "
                 "objects whose first word points at a table of three slots (NimbrelPluginSlots), and finds the host's "
                 "functions at run time by name in the host's module, NIMBREL_HOST_MODULE. Everything here is laid out "
                 "as "
                 "the host lays it out: a 64-bit Windows program built with Microsoft's compiler."}})
        << "\n#ifndef NIMBREL_PLUGIN_H\n#define NIMBREL_PLUGIN_H\n\n"
           "#include <stddef.h>\n#include <stdint.h>\n#if !defined(__cplusplus)\n#include <stdbool.h>\n#endif\n\n"
           "#if defined(__cplusplus)\n"
           "#define NIMBREL_C_NAME extern \"C\"\n"
           "#define NIMBREL_LAYOUT(condition, what) static_assert(condition, what)\n"
           "#else\n"
           "#define NIMBREL_C_NAME\n"
           "#define NIMBREL_LAYOUT(condition, what) _Static_assert(condition, what)\n"
           "#endif\n\n"
        << comment("Marks each of the seven exports: the host looks them up by their plain, undecorated names.")
        << "#if defined(_WIN32)\n"
           "#define NIMBREL_PLUGIN_EXPORT NIMBREL_C_NAME __declspec(dllexport)\n"
           "#else\n"
           "#define NIMBREL_PLUGIN_EXPORT NIMBREL_C_NAME __attribute__((visibility(\"default\")))\n"
           "#endif\n\n";
    for (const AuthorConstant& constant : authorConstants()) {
        if (!constant.comment.empty()) out << comment(constant.comment);
        out << "#define " << constant.macro << " " << constant.value << "\n";
    }
    out << "\nNIMBREL_LAYOUT(sizeof(void*) == 8, \"the host is a 64-bit process\");\n";
}

void writeRecords(std::ostream& out) {
    for (const RecordLayout& record : recordLayouts()) {
        std::vector<std::string> declarations;
        std::size_t width = 0;
        for (const RecordField& field : record.fields) {
            std::string declaration = field.type + " " + field.name;
            if (field.extent != 0) declaration += "[" + std::to_string(field.extent) + "]";
            declarations.push_back(declaration + ";");
            width = std::max(width, declarations.back().size() + 1);
        }
        out << "\n" << comment(record.comment) << "typedef struct " << record.name << " {\n";
        for (std::size_t i = 0; i < record.fields.size(); ++i)
            out << "    " << padded(declarations[i], width) << "/* " << record.fields[i].comment << " */\n";
        out << "} " << record.name << ";\n";
        out << "NIMBREL_LAYOUT(sizeof(" << record.name << ") == " << record.size << ", \"" << record.name << " is "
            << record.size << " bytes\");\n";
        for (const RecordField& field : record.fields)
            out << "NIMBREL_LAYOUT(offsetof(" << record.name << ", " << field.name << ") == " << field.offset << ", \""
                << record.name << "." << field.name << " at byte " << field.offset << "\");\n";
    }
}

void writeExports(std::ostream& out) {
    out << "\n"
        << comment(
               "The seven exports. createPlugin: a new, independent plug-in object, or null when none could be "
               "made; the host owns it until it calls the object's slot 0. The six descriptors: constant texts "
               "that live as long as the module, the same on every call; they touch no host function.")
        << "NIMBREL_PLUGIN_EXPORT void* createPlugin(void);\n"
           "NIMBREL_PLUGIN_EXPORT const char* getPluginName(void);\n"
           "NIMBREL_PLUGIN_EXPORT const char* getPluginDescription(void);\n"
           "NIMBREL_PLUGIN_EXPORT const char* getAuthor(void);\n"
           "NIMBREL_PLUGIN_EXPORT const char* getHelpFile(void);      /* the help page, a path relative to the module "
           "*/\n"
           "NIMBREL_PLUGIN_EXPORT const char* getPluginVersion(void);\n"
           "NIMBREL_PLUGIN_EXPORT const char* getGUIScript(void);     /* the dialog script's file name, beside the "
           "module */\n";
}

void writeObject(std::ostream& out) {
    out << "\n"
        << comment(
               "The object: the host calls it through the table its first word points at, three slots in this "
               "order, each given the object first. A C++ class whose only virtual functions are these three, "
               "in this order, with a destructor that is not virtual, has this table (writing-plugins.md).")
        << "typedef struct NimbrelPluginSlots {\n"
           "    /* slot 0: destroys the object and, when flags has NIMBREL_DESTROY_FREES, frees it; returns it */\n"
           "    void* (*destroy)(void* self, unsigned int flags);\n"
           "    /* slot 1: the work; called only after an initPlugin that returned true */\n"
           "    bool (*execute)(void* self);\n"
           "    /* slot 2: whether the plug-in can run in the host's present state; false has shown the user why */\n"
           "    bool (*initPlugin)(void* self);\n"
           "} NimbrelPluginSlots;\n"
           "NIMBREL_LAYOUT(sizeof(NimbrelPluginSlots) == 24, \"three slots\");\n\n"
           "typedef struct NimbrelPluginObject {\n"
           "    const NimbrelPluginSlots* slots; /* the object's first word */\n"
           "} NimbrelPluginObject;\n";
}

void writeHostFunctions(std::ostream& out) {
    std::vector<Paragraph> rules = {
        {"Host functions, one pointer type each, in the host's order: look a function up by its name in "
         "NIMBREL_HOST_MODULE and keep it in a pointer of its type (nbLogText in an nbLogTextFunction); test it for "
         "null, since a host of another version may lack it. For every host function alike:"}};
    for (const char* rule : contract::kEveryHostFunction) rules.push_back({std::string("- ") + rule, 1, 2});
    out << "\n" << comment(rules);
    for (const HostFunction& function : hostFunctions()) {
        if (function.contract) {
            std::vector<Paragraph> words = {{function.name + ": " + noteForAuthors(function.contract->note)}};
            for (std::size_t i = 0; i < function.parameters.size(); ++i)
                words.push_back(
                    {"argument " + std::to_string(i + 1) + ": " + argumentWords(function.contract->arguments[i]), 2,
                     2});
            words.push_back({"result: " + resultWords(function.contract->result), 2, 2});
            out << "\n" << comment(words);
        }
        std::string parameters;
        for (std::size_t i = 0; i < function.parameters.size(); ++i)
            parameters += (i == 0 ? "" : ", ") + function.parameters[i];
        out << "typedef " << function.result << " (*" << function.name << "Function)("
            << (parameters.empty() ? "void" : parameters) << ");\n";
    }
}

}  // namespace

std::string authorHeader() {
    std::ostringstream out;
    writePreamble(out);
    writeRecords(out);
    writeExports(out);
    writeObject(out);
    writeHostFunctions(out);
    out << "\n#endif /* NIMBREL_PLUGIN_H */\n";
    return out.str();
}

}  // namespace kelvane::authoring
