#include "station/FileGroups.h"

#include "link/Frame.h"
#include "station/NodeLabels.h"
#include "station/StationTexts.h"
#include "tasks/TaskLayer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace fs = std::filesystem;

TaskList<FileGroup>& fileGroups() {
    static TaskList<FileGroup> groups;
    return groups;
}

std::vector<GroupFileRow> GroupFileRows(int group, TaskList<FileGroup>& groups) {
    std::vector<GroupFileRow> rows;
    FileGroup* g = group < 0 ? nullptr : groups.ItemAt(static_cast<size_t>(group));
    if (!g)
        return rows;
    const size_t count = g->files.Count();
    for (size_t k = 0; k < count; ++k)
        g->files.WithItem(k, [&](GroupFile& f) {
            rows.push_back({std::to_string(k + 1), std::to_string(group + 1), f.name,
                            std::to_string(f.size), f.folder});
        });
    return rows;
}

std::vector<GroupRow> GroupRows(TaskList<FileGroup>& groups) {
    std::vector<GroupRow> rows;
    const size_t count = groups.Count();
    for (size_t i = 0; i < count; ++i)
        groups.WithItem(i, [&](FileGroup& g) {
            rows.push_back(
                {std::to_string(i + 1), std::to_string(g.fileCount), std::to_string(g.totalBytes)});
        });
    return rows;
}

std::string FileProblemText(const FileProblem& p) {
    switch (p.kind) {
    case FileProblemKind::Missing:
        return FormatText(StationText(kIdsFileMissing), {p.path});
    case FileProblemKind::NotRegular:
        return FormatText(StationText(kIdsFileNotRegular), {p.path});
    case FileProblemKind::Unreadable:
        return FormatText(StationText(kIdsFileUnreadable), {p.path});
    case FileProblemKind::Empty:
    case FileProblemKind::TooLarge:
        return FormatText(StationText(kIdsFileSizeRefused),
                          {p.path, std::to_string(p.size), std::to_string(kMaxSendBytes)});
    case FileProblemKind::SameNodeName:
        return FormatText(StationText(kIdsFileSameNodeName), {p.path, p.otherPath, p.nodeName});
    case FileProblemKind::TooMany:
        return FormatText(StationText(kIdsFileTooMany), {p.path, std::to_string(kMaxEntries)});
    }
    return p.path;
}

std::string FileProblemsText(const std::vector<FileProblem>& problems) {
    std::string text;
    for (const FileProblem& p : problems)
        text += (text.empty() ? "" : "\n") + FileProblemText(p);
    return text;
}

namespace {

// A local file as the groups take it: absolute path split into folder and name, and its size.
// False with the problem when it is not a regular file that can be opened for reading (special
// files are never opened: a FIFO would block the window).
bool ProbeFile(const std::string& given, GroupFile* file, FileProblem* problem) {
    problem->path = given;
    std::error_code ec;
    const fs::path abs = fs::absolute(given, ec).lexically_normal();
    const fs::file_status st = ec ? fs::file_status{} : fs::status(abs, ec);
    if (ec || !fs::exists(st)) {
        problem->kind = FileProblemKind::Missing;
        return false;
    }
    if (!fs::is_regular_file(st)) {
        problem->kind = FileProblemKind::NotRegular;
        return false;
    }
    const uintmax_t size = fs::file_size(abs, ec);
    if (ec || !std::ifstream(abs, std::ios::binary)) {
        problem->kind = FileProblemKind::Unreadable;
        return false;
    }
    file->name = abs.filename().string();
    file->folder = abs.parent_path().generic_string();
    if (file->folder.empty() || file->folder.back() != '/')
        file->folder += '/';
    file->size = size;
    return true;
}

// The group at `index`, or null. Only the user-interface thread removes groups, so the pointer
// stays valid while that thread works with it.
FileGroup* GroupAt(TaskList<FileGroup>& groups, int index) {
    return index < 0 ? nullptr : groups.ItemAt(static_cast<size_t>(index));
}

void Append(FileGroup& group, const GroupFile& file) {
    group.files.Append(std::make_unique<GroupFile>(file));
    group.fileCount += 1;
    group.totalBytes += file.size;
}

// Shows group `index` with the group list; -1 empties both lists.
GroupOutcome Show(int index) {
    GroupOutcome out;
    out.refresh = true;
    out.show = index;
    out.withGroupList = true;
    return out;
}

GroupOutcome ShowLast(TaskList<FileGroup>& groups) {
    return Show(static_cast<int>(groups.Count()) - 1);
}

// A new group of the readable files among `paths`; null when none is.
std::unique_ptr<FileGroup> GroupOf(const std::vector<std::string>& paths, bool reportFolders,
                                   std::vector<FileProblem>* problems) {
    auto group = std::make_unique<FileGroup>();
    for (const std::string& path : paths) {
        GroupFile file;
        FileProblem problem;
        if (ProbeFile(path, &file, &problem))
            Append(*group, file);
        else if (reportFolders || problem.kind != FileProblemKind::NotRegular ||
                 !fs::is_directory(path))
            problems->push_back(problem);
    }
    if (group->fileCount == 0)
        return nullptr;
    return group;
}

// Ascending, without repeats.
std::vector<int> Sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

} // namespace

GroupOutcome NewGroupFromFiles(const std::vector<std::string>& paths, TaskList<FileGroup>& groups) {
    GroupOutcome out;
    auto group = GroupOf(paths, true, &out.problems);
    if (group) {
        groups.Append(std::move(group));
        auto problems = std::move(out.problems);
        out = ShowLast(groups);
        out.problems = std::move(problems);
    }
    return out;
}

GroupOutcome AddFilesToGroup(int shownGroup, const std::vector<std::string>& paths,
                             const ReplaceQuestion& replace, TaskList<FileGroup>& groups) {
    std::vector<FileProblem> problems;
    FileGroup* target = GroupAt(groups, shownGroup);
    std::unique_ptr<FileGroup> fresh;
    if (!target) {
        fresh = std::make_unique<FileGroup>();
        target = fresh.get();
    }
    for (const std::string& path : paths) {
        GroupFile file;
        FileProblem problem;
        if (!ProbeFile(path, &file, &problem)) {
            problems.push_back(problem);
            continue;
        }
        // The group's first file of that name, compared with the files added so far as well.
        size_t same = SIZE_MAX;
        const size_t count = target->files.Count();
        for (size_t k = 0; k < count && same == SIZE_MAX; ++k)
            target->files.WithItem(k, [&](GroupFile& f) {
                if (f.name == file.name)
                    same = k;
            });
        if (same == SIZE_MAX) {
            Append(*target, file);
            continue;
        }
        if (!replace || !replace(file.name))
            continue;
        target->files.WithItem(same, [&](GroupFile& f) {
            target->totalBytes = target->totalBytes - f.size + file.size;
            f = file;
        });
    }
    GroupOutcome out;
    if (fresh) {
        if (fresh->fileCount > 0) {
            groups.Append(std::move(fresh));
            out = ShowLast(groups);
        }
    } else {
        out = Show(shownGroup);
    }
    out.problems = std::move(problems);
    return out;
}

GroupOutcome DropFiles(const std::vector<std::string>& paths, TaskList<FileGroup>& groups) {
    GroupOutcome out;
    if (paths.empty())
        return out;
    auto group = GroupOf(paths, false, &out.problems);
    if (!group) {
        // The group-file list was emptied for the new group, which did not come about.
        out.refresh = true;
        out.show = -1;
        out.withGroupList = false;
        return out;
    }
    groups.Append(std::move(group));
    auto problems = std::move(out.problems);
    out = ShowLast(groups);
    out.problems = std::move(problems);
    return out;
}

GroupOutcome DeleteGroupFiles(int group, const std::vector<int>& checkedRows,
                              TaskList<FileGroup>& groups) {
    FileGroup* g = GroupAt(groups, group);
    const std::vector<int> rows = Sorted(checkedRows);
    if (!g || rows.empty())
        return {};
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0)
            continue;
        uint64_t size = 0;
        if (!g->files.WithItem(static_cast<size_t>(*it), [&](GroupFile& f) { size = f.size; }))
            continue;
        g->files.RemoveAt(static_cast<size_t>(*it));
        g->fileCount -= 1;
        g->totalBytes -= size;
    }
    if (g->files.Count() > 0)
        return Show(group);
    groups.RemoveAt(static_cast<size_t>(group));
    return ShowLast(groups);
}

GroupOutcome DeleteGroups(const std::vector<int>& checkedGroups, TaskList<FileGroup>& groups) {
    const std::vector<int> indexes = Sorted(checkedGroups);
    bool removed = false;
    // From the last: the indexes still to come stay valid.
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
        if (*it >= 0 && groups.RemoveAt(static_cast<size_t>(*it)))
            removed = true;
    }
    if (!removed)
        return {};
    return ShowLast(groups);
}

void FreeFileGroups(TaskList<FileGroup>& groups) {
    groups.Clear();
}

std::vector<std::string> SendCollection::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const CollectedFile& f : files)
        paths.push_back(f.path);
    return paths;
}

namespace {

std::string UpperFileName(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    for (char& ch : name)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return name;
}

} // namespace

SendCollection CollectSendPaths(const std::vector<std::string>& paths) {
    // Problems keep the order of the paths they belong to.
    std::vector<std::pair<size_t, FileProblem>> problems;
    std::vector<size_t> at; // position in `paths` of each candidate
    std::vector<CollectedFile> candidates;
    for (size_t i = 0; i < paths.size(); ++i) {
        GroupFile file;
        FileProblem problem;
        if (!ProbeFile(paths[i], &file, &problem)) {
            problems.emplace_back(i, problem);
            continue;
        }
        if (file.size == 0 || file.size > kMaxSendBytes) {
            problem.kind = file.size == 0 ? FileProblemKind::Empty : FileProblemKind::TooLarge;
            problem.size = file.size;
            problems.emplace_back(i, problem);
            continue;
        }
        CollectedFile f;
        f.path = file.folder + file.name;
        f.size = file.size;
        candidates.push_back(std::move(f));
        at.push_back(i);
    }
    // The names the task layer gives the files of a send: only a file that would replace another
    // on the node (the same name from two folders) is skipped; two long names whose short forms
    // meet are both sent, under names of their own.
    std::vector<std::string> candidatePaths;
    for (const CollectedFile& f : candidates)
        candidatePaths.push_back(f.path);
    const std::vector<AssignedName> names = AssignNodeNames(candidatePaths);
    std::vector<size_t> kept;
    for (size_t i = 0; i < candidates.size(); ++i) {
        FileProblem problem;
        problem.path = paths[at[i]];
        if (names[i].duplicate) {
            // The file collected before under that name: the same long name in any case, whose
            // name on the machine may have moved on from the short form they share; else the
            // file that has this very name on the machine.
            const std::string name = UpperFileName(candidates[i].path);
            auto other = std::find_if(kept.begin(), kept.end(), [&](size_t k) {
                return UpperFileName(candidates[k].path) == name;
            });
            if (other == kept.end())
                other = std::find_if(kept.begin(), kept.end(), [&](size_t k) {
                    return SameNodeName(names[k].field, names[i].field);
                });
            problem.kind = FileProblemKind::SameNodeName;
            if (other != kept.end()) {
                problem.otherPath = candidates[*other].path;
                problem.nodeName = ShownNodeFileName(names[*other].field);
            } else {
                problem.nodeName = ShownNodeFileName(names[i].field);
            }
            problems.emplace_back(at[i], problem);
            continue;
        }
        if (kept.size() >= static_cast<size_t>(kMaxEntries)) {
            problem.kind = FileProblemKind::TooMany;
            problems.emplace_back(at[i], problem);
            continue;
        }
        kept.push_back(i);
    }
    SendCollection out;
    for (size_t k : kept)
        out.files.push_back(std::move(candidates[k]));
    // Named as the task layer will name exactly these files.
    const std::vector<AssignedName> sent = AssignNodeNames(out.Paths());
    for (size_t i = 0; i < out.files.size(); ++i)
        out.files[i].field.assign(reinterpret_cast<const char*>(sent[i].field), kNameFieldSize);
    std::stable_sort(problems.begin(), problems.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& p : problems)
        out.problems.push_back(std::move(p.second));
    return out;
}

SendCollection CollectSendFiles(const std::vector<int>& checkedGroups,
                                TaskList<FileGroup>& groups) {
    std::vector<std::string> paths;
    for (int index : Sorted(checkedGroups)) {
        FileGroup* g = GroupAt(groups, index);
        if (!g)
            continue;
        const size_t count = g->files.Count();
        for (size_t k = 0; k < count; ++k)
            g->files.WithItem(k, [&](GroupFile& f) { paths.push_back(f.folder + f.name); });
    }
    return CollectSendPaths(paths);
}

std::string LibraryLookup::MissingText() const {
    std::string text;
    for (const std::string& name : missing)
        text += (text.empty() ? "" : ",") + name;
    return text + StationText(kIdsInvalidFile);
}

namespace {

// The library's folders: the folder itself, then depth first every folder below it, each before
// its own sub-folders, in name order. Links to folders are not followed, so a loop ends; at most
// `limit` folders are listed, so a library at "/" cannot hold the window for long.
void ListFolders(const fs::path& folder, std::vector<fs::path>* out, int depth, size_t limit,
                 bool* cut) {
    if (out->size() >= limit) {
        *cut = true;
        return;
    }
    out->push_back(folder);
    if (depth > 64)
        return;
    std::vector<fs::path> subs;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (it->is_directory(e2) && !it->is_symlink(e2))
            subs.push_back(it->path());
    }
    std::sort(subs.begin(), subs.end());
    for (const fs::path& sub : subs)
        ListFolders(sub, out, depth + 1, limit, cut);
}

} // namespace

LibraryLookup FindLibraryFiles(const std::string& libraryFolder,
                               const std::vector<std::string>& nodeFields, size_t maxFolders) {
    LibraryLookup out;
    std::vector<fs::path> folders;
    std::error_code ec;
    if (!libraryFolder.empty() && fs::is_directory(libraryFolder, ec))
        ListFolders(fs::absolute(libraryFolder, ec).lexically_normal(), &folders, 0, maxFolders,
                    &out.cut);
    // Per folder, its readable files in name order with the node name field of each; built on
    // first use. The short form of a long name takes a look at the whole folder, so long names
    // are named only when a wanted field can be a short form at all (it holds a "~").
    struct Entry {
        std::string path;
        std::string field;
    };
    std::map<size_t, std::vector<Entry>> cache;
    auto entriesOf = [&](size_t i, bool withLongNames) -> const std::vector<Entry>& {
        const size_t key = i * 2 + (withLongNames ? 1 : 0);
        auto found = cache.find(key);
        if (found != cache.end())
            return found->second;
        std::vector<Entry>& entries = cache[key];
        std::vector<fs::path> files;
        std::error_code e;
        for (fs::directory_iterator it(folders[i], e), end; !e && it != end; it.increment(e)) {
            std::error_code e2;
            if (it->is_regular_file(e2))
                files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            const std::string name = f.filename().string();
            const size_t dot = name.find_last_of('.');
            const size_t base = dot == std::string::npos || dot == 0 ? name.size() : dot;
            if (base >= 9 && !withLongNames)
                continue;
            uint8_t field[kNameFieldSize];
            NodeNameField(f.string(), field);
            entries.push_back(
                {f.generic_string(), std::string(reinterpret_cast<char*>(field), 12)});
        }
        return entries;
    };
    for (const std::string& given : nodeFields) {
        std::string want = given.substr(0, kNameFieldSize);
        want.resize(kNameFieldSize, ' ');
        const auto* w = reinterpret_cast<const uint8_t*>(want.data());
        const bool maybeShort = want.find('~') != std::string::npos;
        std::string found;
        for (size_t i = 0; i < folders.size() && found.empty(); ++i) {
            for (const Entry& e : entriesOf(i, maybeShort)) {
                if (SameNodeName(reinterpret_cast<const uint8_t*>(e.field.data()), w) &&
                    std::ifstream(e.path, std::ios::binary)) {
                    found = e.path;
                    break;
                }
            }
        }
        if (found.empty())
            out.missing.push_back(ShownNodeFileName(w));
        else
            out.paths.push_back(found);
    }
    return out;
}
