// The player binary under a display: a termination signal ends it while a message box is up,
// and leaves no process of its session behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/TestSupport.h"

namespace {

// Processes whose session is `session` (the player's children keep it).
int processesOfSession(pid_t session)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid pgrp session: the fields after the command's closing parenthesis.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long ppid = 0, pgrp = 0, sid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld %ld %ld", &state, &ppid, &pgrp, &sid) == 4 && sid == session &&
            state != 'Z')
            ++count;
    }
    return count;
}

TEST(SdlStopSignal, SigtermEndsThePlayerWhileAMessageBoxIsUp)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ScratchDir dir;
    const std::string player = std::string(TL_BINARY_DIR) + "/apps/tessaline";
    const std::string script = dir.path() + "missing.lscx";  // its report opens a box
    // The box's helper program stands for a viewer who never answers it.
    const std::string helper = dir.write("zenity", "#!/bin/sh\nexec sleep 600\n");
    std::filesystem::permissions(helper, std::filesystem::perms::owner_all);
    const std::string path = dir.path() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setsid();
        setenv("PATH", path.c_str(), 1);
        // Under the sanitizers: the display libraries' own leaks are suppressed by library name,
        // which only a whole allocation stack gives (they are built without frame pointers).
        if (const char* asan = std::getenv("ASAN_OPTIONS"))
            setenv("ASAN_OPTIONS", (std::string(asan) + ":fast_unwind_on_malloc=0").c_str(), 1);
        execl(player.c_str(), player.c_str(), "--windowed", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(child, SIGTERM);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 100 && done == 0; ++i) {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (done == 0) {
        kill(-child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the player was still running 10 s after SIGTERM";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    // The box's processes are gone with it (a moment for them to be reaped).
    int left = processesOfSession(child);
    for (int i = 0; i < 20 && left > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        left = processesOfSession(child);
    }
    EXPECT_EQ(left, 0);
    if (left > 0) kill(-child, SIGKILL);
}

} // namespace
