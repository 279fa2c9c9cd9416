// File groups: the station's working sets of local files, built with Select File, Add, Add File
// and by dropping files on the group-file list, and what Send File transmits. They live in memory
// only and start empty with every run.
//
// Only the user-interface thread changes the groups; each list step takes that list's lock, one
// list at a time. A group's number is its index in the list plus one; numbers close up when a
// group is deleted. Every operation returns what the window shows next (GroupOutcome) and the
// files it left out, with the reason, so that nothing is dropped without a word.
#pragma once

#include "tasks/TaskList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct GroupFile {
    std::string name;   // file name without folder
    std::string folder; // absolute folder with its trailing "/"
    uint64_t size = 0;  // bytes, when the file was added
};

struct FileGroup {
    int32_t fileCount = 0;
    uint64_t totalBytes = 0;
    TaskList<GroupFile> files;
};

// The program-wide groups, in creation order.
TaskList<FileGroup>& fileGroups();

// The rows of the group-file list for group `group` ("No." from 1, "Type" = the group's number,
// "FileName", "Size", "Path" = the folder); empty for an unknown group.
struct GroupFileRow {
    std::string no, type, name, size, path;
};
std::vector<GroupFileRow> GroupFileRows(int group, TaskList<FileGroup>& groups = fileGroups());

// The rows of the group list: "Type" = the group's number, "File Num", "Sum Size".
struct GroupRow {
    std::string type, fileCount, totalBytes;
};
std::vector<GroupRow> GroupRows(TaskList<FileGroup>& groups = fileGroups());

// Why a file was left out.
enum class FileProblemKind {
    Missing,      // no such file
    NotRegular,   // a folder, a device or another special file
    Unreadable,   // cannot be opened for reading
    Empty,        // 0 bytes: a node takes files of 1 to kMaxSendBytes bytes
    TooLarge,     // more than kMaxSendBytes
    SameNodeName, // a node would keep it under the name of a file already collected
    TooMany,      // more files than a node's list holds (kMaxEntries)
};

struct FileProblem {
    FileProblemKind kind = FileProblemKind::Missing;
    std::string path;      // the file, as it was given
    uint64_t size = 0;     // Empty, TooLarge: its size
    std::string otherPath; // SameNodeName: the file collected under that name
    std::string nodeName;  // SameNodeName: the name on the node
};

// One line for the operator, e.g. "/data/a.dst: 0 bytes; a node takes files of 1 to 1457664
// bytes". The texts are reachable by id for translation (StationTexts.h).
std::string FileProblemText(const FileProblem& problem);
// The lines of several problems, one a line.
std::string FileProblemsText(const std::vector<FileProblem>& problems);

// What the group lists show after an operation.
struct GroupOutcome {
    bool refresh = false;       // false: both lists stay as they are
    int show = -1;              // group whose files the group-file list shows; -1: none (emptied)
    bool withGroupList = false; // rebuild the group list as well
    std::vector<FileProblem> problems; // files left out; report them
};

// Select File: a new group of the picked files, shown with the group list. Files that cannot be
// read are left out; when none is left no group is made.
GroupOutcome NewGroupFromFiles(const std::vector<std::string>& paths,
                               TaskList<FileGroup>& groups = fileGroups());

// Asked for a file whose name the group already holds; the question the window shows is the name
// followed by kIdsReplaceQuestion's text. True: replace the group's first file of that name.
using ReplaceQuestion = std::function<bool(const std::string& name)>;

// Add and Add File: the files go into the shown group (`shownGroup`, -1 or out of range: none
// shown) or, with none shown, into a new group that is kept only when it gets a file. A name the
// group already holds (its first file of that name) is replaced when `replace` says yes, else the
// file is skipped.
GroupOutcome AddFilesToGroup(int shownGroup, const std::vector<std::string>& paths,
                             const ReplaceQuestion& replace,
                             TaskList<FileGroup>& groups = fileGroups());

// Files dropped on the group-file list: a new group of the files that can be read; folders are
// left out without a word. A drop that brings no file empties the group-file list and makes no
// group; an empty drop changes nothing.
GroupOutcome DropFiles(const std::vector<std::string>& paths,
                       TaskList<FileGroup>& groups = fileGroups());

// Delete on the group-file list: removes the checked rows (file indexes) of group `group`, by
// row, so that of two files with one name the checked one goes. A group left without files is
// removed and the last group is shown.
GroupOutcome DeleteGroupFiles(int group, const std::vector<int>& checkedRows,
                              TaskList<FileGroup>& groups = fileGroups());

// Delete on the group list: removes the checked groups (indexes); the others close up and the
// last one is shown.
GroupOutcome DeleteGroups(const std::vector<int>& checkedGroups,
                          TaskList<FileGroup>& groups = fileGroups());

// Shutdown: every group with its files.
void FreeFileGroups(TaskList<FileGroup>& groups = fileGroups());

// A file as a send takes it: checked and named as the node will name it.
struct CollectedFile {
    std::string path;  // absolute
    std::string field; // its 12-byte node name field
    uint64_t size = 0;
};

struct SendCollection {
    std::vector<CollectedFile> files;
    std::vector<FileProblem> problems; // files left out, in the order met
    std::vector<std::string> Paths() const;
};

// The rules of a send over local paths, in order: a file must be a readable regular file of 1 to
// kMaxSendBytes bytes; one that the task layer would name as a file already collected
// (AssignNodeNames: the same name from another folder) is skipped; at most kMaxEntries files are
// collected. Every file left out is reported. `field` is the name the task layer gives the file
// in a send of exactly the collected files.
SendCollection CollectSendPaths(const std::vector<std::string>& paths);

// Send File: the files of the checked groups (indexes, taken in ascending order), each group's
// files in order, under the rules of CollectSendPaths. The files are checked as they are now,
// not as they were when added.
SendCollection CollectSendFiles(const std::vector<int>& checkedGroups,
                                TaskList<FileGroup>& groups = fileGroups());

// Add File on the node-file list: for each 12-byte node name field, the first file of the library
// that a node would keep under that name, looked for in `libraryFolder` and then in each folder
// below it, depth first, each folder before its sub-folders (names compared as the node compares
// them, so "A.DST" finds "a.dst" and a long name's short form finds the long name).
struct LibraryLookup {
    std::vector<std::string> paths;   // found, in the order asked
    std::vector<std::string> missing; // shown names of the fields not found
    bool cut = false;                 // the library has more folders than were looked in
    // The message for the missing ones: the names joined with "," followed by "Invalid File!".
    std::string MissingText() const;
};
// At most `maxFolders` folders are looked in (links to folders are not followed), so a library
// at "/" or a link loop cannot hold the window.
constexpr size_t kMaxLibraryFolders = 4096;
LibraryLookup FindLibraryFiles(const std::string& libraryFolder,
                               const std::vector<std::string>& nodeFields,
                               size_t maxFolders = kMaxLibraryFolders);
