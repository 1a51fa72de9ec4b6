// Opens every PDF file of a folder and reports, per file, "opened" or the
// message the reader gave. Usage: folivant_open_sweep [FOLDER] (default: the
// bundled examples).
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "app/exception.h"
#include "pdf/document.h"
#include "structure/catalog.h"

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : FOLIVANT_EXAMPLES;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        std::printf("cannot read folder '%s'\n", folder.c_str());
        return 2;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        std::string suffix = name.size() > 4 ? name.substr(name.size() - 4) : "";
        for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (suffix == ".pdf") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());

    int opened = 0;
    for (const std::string& name : names) {
        CPdfDocument document;
        std::string message = "opened";
        try {
            document.open(folder + "/" + name);
            message += " (" + std::to_string(document.getCatalog()->getPageCount()) + " pages)";
            ++opened;
        } catch (const CPdfException& failure) {
            message = failure.Message();
            while (!message.empty() && message.back() == '\n') message.pop_back();
        }
        std::printf("%s\t%s\n", name.c_str(), message.c_str());
    }
    std::printf("# %d of %zu opened\n", opened, names.size());
    return names.empty() ? 1 : 0;
}
