// The machine services of platform.h on a POSIX system: termios for the key wait, mkdir,
// localtime_r/strftime, clock(), and the program's own random generator.
#include "project/platform.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

// Off until the interactive program turns them on: no command, test or tool is held by a wait
// it did not ask for.
static bool keyWaits = false;

void setKeyWaits(bool on) { keyWaits = on; }

void waitKey()
{
    std::fflush(stdout);
    if (!keyWaits) return;
    if (!isatty(STDIN_FILENO)) {
        // Piped or redirected input: take one byte (or nothing at end of input) and go on.
        std::getchar();
        return;
    }
    termios saved;
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        std::getchar();
        return;
    }
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char key;
    ssize_t got = read(STDIN_FILENO, &key, 1);
    (void)got;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

bool makeDirectory(const char* path)
{
    if (mkdir(path, 0777) == 0) return true;
    struct stat info;
    return errno == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string makeTimestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    char text[80];
    std::strftime(text, sizeof text, "%Y.%m.%d-%H.%M.%S", &local);
    return text;
}

double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

uint32_t randState = 1;
