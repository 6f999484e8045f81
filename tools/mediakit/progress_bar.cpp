#include "progress_bar.h"

#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const int barWidth = 30;
const int itemWidth = 32;
const std::chrono::milliseconds redrawEvery(100);
const int rateWidth = 27;  // what the rate and the time left add to the line

// "m:ss", or "h:mm:ss" from an hour on; "--:--" before a rate is known.
std::string TimeLeft(double seconds)
{
    if (!(seconds >= 0) || seconds > 359999) {
        return "--:--";
    }
    unsigned whole = static_cast<unsigned>(seconds + 0.5);
    char text[16];
    if (whole >= 3600) {
        std::snprintf(text, sizeof(text), "%u:%02u:%02u", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof(text), "%u:%02u", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

CProgressBar::CProgressBar(const std::string& what, uint64_t totalBytes)
    : label(what), total(totalBytes), shown(totalBytes >= minimumTotal && CanShow())
{
}

CProgressBar::CProgressBar(const std::string& what) : label(what), total(0), shown(false) {}

bool CProgressBar::CanShow()
{
#ifdef _WIN32
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;  // a console, not a file or pipe
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

void CProgressBar::SetTotal(uint64_t totalBytes)
{
    total = totalBytes;
    shown = done == 0 && totalBytes >= minimumTotal && CanShow();
    started = std::chrono::steady_clock::now();  // what came before (weighing the tree) is no progress
}

CProgressBar::~CProgressBar()
{
    Finish();
}

void CProgressBar::Advance(uint64_t bytes, const std::string& item)
{
    done += bytes;
    if (!shown) {
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn < redrawEvery && done < total) {
        return;
    }
    lastDrawn = now;
    Draw(item);
}

void CProgressBar::Draw(const std::string& item)
{
    uint64_t part = total == 0 ? 1 : (done < total ? done : total);
    int filled = total == 0 ? barWidth : static_cast<int>(part * barWidth / total);
    unsigned percent = total == 0 ? 100 : static_cast<unsigned>(part * 100 / total);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(barWidth, '.');
    // Keep the end of a long name: that is the part that changes.
    std::string shortItem = item.size() > itemWidth ? "..." + item.substr(item.size() - itemWidth + 3) : item;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double mebibytes = static_cast<double>(done) / (1024.0 * 1024.0);
    double rate = seconds > 0 ? mebibytes / seconds : 0;
    double left = rate > 0 ? static_cast<double>(total > part ? total - part : 0) / (1024.0 * 1024.0) / rate : -1;
    std::fprintf(stderr, "\r%s [%s] %3u%% %6.1f MiB %6.1f MiB/s %8s left  %-*s", label.c_str(), bar.c_str(),
                 percent, mebibytes, rate, TimeLeft(left).c_str(), itemWidth, shortItem.c_str());
    std::fflush(stderr);
}

void CProgressBar::Finish()
{
    if (!shown) {
        return;
    }
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(label.size()) + barWidth + itemWidth + 22 + rateWidth, "");
    std::fflush(stderr);
    shown = false;
}
