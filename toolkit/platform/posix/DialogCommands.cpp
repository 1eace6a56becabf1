// Argument vectors for zenity and kdialog. Every piece of the request goes
// in as one argument of its own or glued to its option, so no title or
// path can be read as another option or reach a shell.
#include "toolkit/platform/posix/DialogCommands.h"

namespace zelto::toolkit {
namespace {

std::vector<CFileExtension> allTypes(const CNewFileSelector::Request& request) {
    std::vector<CFileExtension> types = request.extensions;
    if (!request.defaultExtension.isEmpty()) {
        bool listed = false;
        for (const CFileExtension& t : types) listed = listed || t == request.defaultExtension;
        if (!listed) types.insert(types.begin(), request.defaultExtension);
    }
    return types;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// A positional path that starts with '-' would read as an option.
std::string positional(const std::string& path) {
    if (!path.empty() && path[0] == '-') return "./" + path;
    return path;
}

std::string describe(const CFileExtension& type) {
    const std::string name =
        type.getDescription().empty() ? type.getExtension() : type.getDescription();
    return name + " (*." + type.getExtension() + ")";
}

}  // namespace

std::vector<std::string> zenityArguments(const CNewFileSelector::Request& request) {
    std::vector<std::string> args = {"zenity", "--file-selection", "--title=" + request.title};
    if (request.parentWindowId != 0) {
        args.push_back("--modal");
        args.push_back("--attach=" + std::to_string(request.parentWindowId));
    }
    const bool save = request.style == CNewFileSelector::kSelectSaveFile;
    if (save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    if (request.style == CNewFileSelector::kSelectDirectory) args.push_back("--directory");
    if (request.allowMultiple && request.style == CNewFileSelector::kSelectFile) {
        args.push_back("--multiple");
        args.push_back("--separator=\n");
    }
    if (save && !request.defaultSaveName.empty()) {
        args.push_back("--filename=" + joinPath(request.initialDirectory, request.defaultSaveName));
    } else if (!request.initialDirectory.empty()) {
        args.push_back("--filename=" + joinPath(request.initialDirectory, ""));
    }
    if (request.style != CNewFileSelector::kSelectDirectory) {
        const std::vector<CFileExtension> types = allTypes(request);
        for (const CFileExtension& type : types) {
            args.push_back("--file-filter=" + describe(type) + " | *." + type.getExtension());
        }
        if (!types.empty()) args.push_back("--file-filter=All files | *");
    }
    return args;
}

std::vector<std::string> kdialogArguments(const CNewFileSelector::Request& request) {
    std::vector<std::string> args = {"kdialog", "--title", request.title};
    if (request.parentWindowId != 0) {
        args.push_back("--attach");
        args.push_back(std::to_string(request.parentWindowId));
    }
    const std::string folder = request.initialDirectory.empty() ? "." : request.initialDirectory;
    std::string filter;
    for (const CFileExtension& type : allTypes(request)) {
        if (!filter.empty()) filter += "\n";
        filter += describe(type);
    }
    if (!filter.empty()) filter += "\nAll files (*)";
    switch (request.style) {
        case CNewFileSelector::kSelectDirectory:
            args.push_back("--getexistingdirectory");
            args.push_back(positional(folder));
            return args;
        case CNewFileSelector::kSelectSaveFile:
            args.push_back("--getsavefilename");
            args.push_back(positional(joinPath(folder, request.defaultSaveName)));
            break;
        case CNewFileSelector::kSelectFile:
            args.push_back("--getopenfilename");
            if (request.allowMultiple) {
                args.push_back("--multiple");
                args.push_back("--separate-output");
            }
            args.push_back(positional(folder));
            break;
    }
    if (!filter.empty()) args.push_back(filter);
    return args;
}

std::vector<std::string> parseDialogOutput(const std::string& output) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : output) {
        if (c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace zelto::toolkit
