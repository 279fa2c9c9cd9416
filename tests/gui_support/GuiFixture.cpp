#include "GuiFixture.h"

#include "link/CommCenter.h"
#include "platform/PrivateProfile.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

void GuiFixture::SetUp() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "talvorn-gui-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    workDir = root_ + "/work";
    configHome = root_ + "/config";
    std::filesystem::create_directories(workDir);
    std::filesystem::create_directories(configHome);

    oldCwd_ = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(workDir.c_str()), 0);
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadConfigHome_ = true;
        oldConfigHome_ = old;
    }
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);

    ResetParameters();
    ProfileClearCache();
    CurrentUser = LogOnState{};
}

void GuiFixture::TearDown() {
    // Tests own their windows and delete them first (they read the centre); then the centre.
    QApplication::processEvents();
    CCommCenter::Destroy();
    ResetParameters();
    ProfileClearCache();
    CurrentUser = LogOnState{};
    if (hadConfigHome_)
        ::setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (!oldCwd_.empty())
        (void)::chdir(oldCwd_.c_str());
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}
