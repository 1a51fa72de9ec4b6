#include <string>
#include <vector>

#include "app/application.h"
#include "base/platform.h"

int main(int argc, char** argv) {
    const platform::OutputSession session;
    platform::RemovePartFilesOnInterrupt();
    const std::vector<std::string> arguments = platform::Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    return RunFolivant(static_cast<int>(pointers.size()), pointers.data());
}
