#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// What differs between operating systems lives here and nowhere else: file
// names and arguments in Unicode, binary files and output, large file
// positions, file identity, folders, and how a finished file replaces an old
// one. platform_posix.cpp and platform_windows.cpp implement it.
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
// Standard output passes the bytes it is given, line ends included.
void PrepareOutput();
// The exit status of a command that std::system ran, from what it returned.
int ExitStatus(int systemResult);

// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// Creates the folder with every level that is missing; an existing one is fine.
void MakeFolder(const std::string& path);

// A new, empty file beside `path` under a name no other file has; the name
// goes to `tempPath`. Null when the folder cannot take a file.
std::FILE* CreateFileBeside(const std::string& path, std::string& tempPath);

// Writes what the stream holds through to the disk.
bool FlushToDisk(std::FILE* file);

// Puts `from` in the place of `to`, replacing any file there in one step.
bool ReplaceFile(const std::string& from, const std::string& to);

// False when a file exists at `path` that may not be written.
bool MayReplace(const std::string& path);

}  // namespace platform
