// The source tree's two layers: the core below (no Qt), the windows above it in src/gui, and
// within each, includes that run only downward. A stray include upward is easy to add and hard
// to see in a review, so the tree is read here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Folder under src/ -> its place in the order; a folder may include its own and lower places.
// Folders of equal place are peers and include neither each other.
const std::map<std::string, int>& Places() {
    static const std::map<std::string, int> places = {
        {"platform", 0},     {"link", 1},         {"tasks", 2},    {"store", 2},
        {"users", 2},        {"station", 3},      {"api", 4},      {"gui/kit", 10},
        {"gui/dialogs", 11}, {"gui/browser", 11}, {"gui/app", 12},
    };
    return places;
}

// The folder of a path relative to src/: "gui/<x>" for the windows, else the first component.
std::string FolderOf(const std::string& relative) {
    const auto slash = relative.find('/');
    if (slash == std::string::npos)
        return "";
    const std::string first = relative.substr(0, slash);
    if (first != "gui")
        return first;
    const auto second = relative.find('/', slash + 1);
    return second == std::string::npos ? first : relative.substr(0, second);
}

// Why `from` may not include a header of `to`, or "" when it may.
std::string RefusedInclude(const std::string& file, const std::string& from,
                           const std::string& to) {
    if (from == to)
        return "";
    // The communication centre holds the task layer's queues by design.
    if (file == "link/CommCenter.h" && to == "tasks")
        return "";
    const auto f = Places().find(from);
    const auto t = Places().find(to);
    if (f == Places().end())
        return "folder " + from + " has no place in the layers";
    if (t == Places().end())
        return "folder " + to + " has no place in the layers";
    if (t->second >= f->second)
        return from + " includes " + to + ", which is not below it";
    return "";
}

struct SourceFile {
    std::string relative; // to src/
    std::vector<std::string> projectIncludes;
    bool includesQt = false;
    // Headers of one operating system, and conditions that test for one.
    std::vector<std::string> systemOnly;
};

std::vector<SourceFile> ReadSources(const fs::path& src) {
    static const std::regex project(R"(^\s*#\s*include\s+"([^"]+)\")");
    static const std::regex qt(
        R"(^\s*#\s*include\s+<(Q[A-Za-z]+|qt[a-z]*/[^>]*|Qt[A-Za-z]+/[^>]*)>)");
    static const std::regex system(
        R"(^\s*#\s*include\s+<((unistd|fcntl|termios|poll|pwd|grp|dirent|pthread|spawn|sched|netdb|windows|winbase|winsock2|ws2tcpip|bcrypt|io|direct|shellapi)\.h|(sys|arpa|netinet)/[^>]+)>)");
    static const std::regex condition(
        R"(^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|_MSC_VER|__MINGW32__|__MINGW64__|_POSIX_VERSION)\b)");
    std::vector<SourceFile> files;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        SourceFile file;
        file.relative = fs::relative(entry.path(), src).generic_string();
        std::ifstream in(entry.path());
        std::string line;
        std::smatch m;
        while (std::getline(in, line)) {
            if (std::regex_search(line, m, project))
                file.projectIncludes.push_back(m[1]);
            else if (std::regex_search(line, m, qt))
                file.includesQt = true;
            if (std::regex_search(line, m, system) || std::regex_search(line, m, condition))
                file.systemOnly.push_back(line);
        }
        files.push_back(std::move(file));
    }
    return files;
}

TEST(SourceLayers, TheRuleItself) {
    EXPECT_EQ(FolderOf("gui/kit/Prompter.h"), "gui/kit");
    EXPECT_EQ(FolderOf("store/MachineTable.cpp"), "store");
    EXPECT_EQ(RefusedInclude("station/Centre.cpp", "station", "tasks"), "");
    EXPECT_EQ(RefusedInclude("gui/app/TransferDlg.cpp", "gui/app", "gui/kit"), "");
    EXPECT_EQ(RefusedInclude("gui/dialogs/LogOnDialog.cpp", "gui/dialogs", "users"), "");
    EXPECT_EQ(RefusedInclude("link/CommCenter.h", "link", "tasks"), "");
    EXPECT_NE(RefusedInclude("link/Frame.h", "link", "tasks"), "");
    EXPECT_NE(RefusedInclude("store/MachineTable.cpp", "store", "station"), "");
    EXPECT_NE(RefusedInclude("store/EventLog.cpp", "store", "users"), "");
    EXPECT_NE(RefusedInclude("gui/kit/Prompter.cpp", "gui/kit", "gui/app"), "");
    EXPECT_NE(RefusedInclude("gui/dialogs/X.cpp", "gui/dialogs", "gui/browser"), "");
    EXPECT_NE(RefusedInclude("station/X.cpp", "station", "gui/kit"), "");
    EXPECT_NE(RefusedInclude("newfolder/X.cpp", "newfolder", "link"), "");
}

TEST(SourceLayers, IncludesRunDownwardAndQtStaysInTheWindows) {
    const fs::path src = fs::path(TALVORN_SOURCE_DIR) / "src";
    const auto files = ReadSources(src);
    ASSERT_GT(files.size(), 50u);
    for (const auto& file : files) {
        const std::string from = FolderOf(file.relative);
        const bool inWindows = from.rfind("gui", 0) == 0;
        EXPECT_TRUE(inWindows || !file.includesQt) << file.relative << " includes Qt";
        for (const auto& include : file.projectIncludes) {
            const std::string to = FolderOf(include);
            if (to.empty() || !fs::exists(src / include))
                continue; // a header beside the file, or a generated one
            EXPECT_EQ(RefusedInclude(file.relative, from, to), "")
                << file.relative << " includes " << include;
        }
    }
}

// One implementation per system, chosen by the build: the system's headers and tests for one
// system appear only in src/platform's Posix* and Win32* files, so that the rest of the core builds
// unchanged on both.
TEST(SourceLayers, TheSystemStaysInThePlatformLayersOwnFiles) {
    const fs::path src = fs::path(TALVORN_SOURCE_DIR) / "src";
    const std::regex ownFile(R"(^platform/(Posix|Win32)[A-Za-z0-9]*\.(cpp|h)$)");
    for (const auto& file : ReadSources(src)) {
        if (FolderOf(file.relative).rfind("gui", 0) == 0 ||
            std::regex_match(file.relative, ownFile))
            continue;
        for (const auto& line : file.systemOnly)
            ADD_FAILURE() << file.relative << ": " << line;
    }
}

} // namespace
