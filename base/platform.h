#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// What differs between operating systems lives here and nowhere else: file
// names and arguments in Unicode, binary files and output, large file
// positions, file identity, folders, how an output replaces what its name
// stands for, and interruptions. platform_posix.cpp and platform_windows.cpp
// implement it; platform_common.cpp holds what both build on.
namespace platform {

// Positions past 2 GiB and 4 GiB: a plain fseek takes a long, which is 32 bits
// on some systems. Seek gives false on failure; Tell gives -1.
bool Seek(std::FILE* file, int64_t offset, int whence);
int64_t Tell(std::FILE* file);

// Opens a file by its UTF-8 name, in binary mode whatever mode says; null
// when it cannot be opened.
std::FILE* OpenFile(const std::string& path, const char* mode);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
bool RemoveFile(const std::string& path);

// The program's arguments in UTF-8, as the user typed them.
std::vector<std::string> Arguments(int argc, char** argv);
// Standard output passes the bytes it is given, line ends included, for as
// long as the object lives; the console is left as it was found.
class OutputSession {
public:
    OutputSession();
    ~OutputSession();
    OutputSession(const OutputSession&) = delete;
    OutputSession& operator=(const OutputSession&) = delete;

private:
    [[maybe_unused]] unsigned int consoleCodePage_ = 0;  // the console's, on Windows
};
// The exit status of a command that std::system ran, from what it returned.
int ExitStatus(int systemResult);

// The system's words for an errno value.
std::string ErrorText(int error);

// What a name stands for: nothing (`problem` says why), a folder, or a file
// with the volume and index that identify it by whatever name it is reached.
struct FileStatus {
    std::string problem;
    bool folder = false;
    uint64_t volume = 0;
    uint64_t index = 0;

    bool exists() const { return problem.empty(); }
    bool isSameFile(const FileStatus& other) const {
        return exists() && other.exists() && volume == other.volume && index == other.index;
    }
};
FileStatus StatusOf(const std::string& path);

// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// The form of a file name under which the system tells names apart: the
// bytes themselves, or on Windows, where names differing only in letter case
// are one file, their upper case.
std::string NameKey(const std::string& name);

// Text that the user's own tools wrote in the system's encoding rather than
// UTF-8, as UTF-8: one reading per encoding worth trying, the likeliest
// first. On Windows these are the console's code page (what "dir > list.txt"
// writes) and the ANSI code page; elsewhere names are bytes, and the text is
// taken as it is.
std::vector<std::string> LocalTextReadings(const std::string& bytes);

// Creates the folder with every level that is missing; an existing one is
// fine. Empty, or the system's reason for the failure.
std::string MakeFolder(const std::string& path);

// An output being written. A name that stands for a regular file, or for
// nothing yet, is written as a part file beside that file (beside a symbolic
// link's target, not the link), which takes its place only when complete and
// keeps the permissions of the file it replaces; a device or pipe is written
// in place, as nothing can stand in for it.
struct OutputTarget {
    std::FILE* file = nullptr;
    std::string partPath;   // empty when written in place
    std::string finalPath;  // the file the part file replaces
};

// Opens the output for `path`; false, with the system's reason in `problem`,
// when nothing can be written there (an empty name or a folder among them).
bool CreateOutput(const std::string& path, OutputTarget& target, std::string& problem);
// Writes everything through to the disk and gives the part file its final
// name; false, with the reason, when the data did not all get there (the part
// file is then removed).
bool FinishOutput(OutputTarget& target, std::string& problem);
// Closes the output and removes its part file.
void AbandonOutput(OutputTarget& target);
// Hands what has been written to the output so far to the system and asks it
// to start writing that to the disk, without waiting for it: the flush that
// ends the output then has less left to wait for. Where the system has no
// such request, only the hand-over is done.
void StartWriteback(std::FILE* file);

// From now on, the part files of outputs being written are removed when the
// process is interrupted (Ctrl-C, a termination request, a closed terminal or
// console window) before it ends as such an interruption ends it; and a write
// past the size limit of files fails as a write error instead of ending the
// process. Called once, by main.
void RemovePartFilesOnInterrupt();

}  // namespace platform
