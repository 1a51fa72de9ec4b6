#pragma once

#include <cstdio>
#include <string>

// What platform_common.cpp asks of the system-specific halves of the seam;
// nothing outside base/platform_*.cpp includes this.
namespace platform::detail {

// What an output's name stands for once symbolic links are followed.
enum class OutputKind { nothing, regularFile, folder, device };

// Classifies `path`; `finalPath` gets the file a part file would replace (a
// link's target) and `problem` the reason when the name cannot be written.
OutputKind ClassifyOutput(const std::string& path, std::string& finalPath, std::string& problem);
// A device or pipe opened for writing as it stands.
std::FILE* OpenInPlace(const std::string& path, std::string& problem);
// A new part file beside `finalPath`, under a short name no other file has,
// with the permissions (and, where the system allows, the owner) of the file
// it will replace.
std::FILE* CreatePartFile(const std::string& finalPath, std::string& partPath,
                          std::string& problem);
// Writes what the stream holds through to the disk; a device or pipe that
// cannot be synchronised is not a failure.
bool FlushToDisk(std::FILE* file, bool inPlace, std::string& problem);
// Asks the system to start writing the file's data to the disk, if it can.
void StartWritebackOf(std::FILE* file);
// Puts `from` in the place of `to` in one step.
bool ReplaceFile(const std::string& from, const std::string& to, std::string& problem);

// Removes every part file being written and keeps any more from being made;
// the process is about to end. Safe to call from the thread that handles an
// interruption.
void RemovePartFilesForGood();

}  // namespace platform::detail
