#include "progress_bar.h"

#include <cstdio>
#include <unistd.h>

namespace {

const int barWidth = 30;
const int itemWidth = 32;
const std::chrono::milliseconds redrawEvery(100);

}  // namespace

CProgressBar::CProgressBar(const std::string& what, uint64_t totalBytes)
    : label(what), total(totalBytes), shown(totalBytes >= minimumTotal && CanShow())
{
}

CProgressBar::CProgressBar(const std::string& what) : label(what), total(0), shown(false) {}

bool CProgressBar::CanShow()
{
    return isatty(STDERR_FILENO) == 1;
}

void CProgressBar::SetTotal(uint64_t totalBytes)
{
    total = totalBytes;
    shown = done == 0 && totalBytes >= minimumTotal && CanShow();
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
    std::fprintf(stderr, "\r%s [%s] %3u%% %6.1f MiB  %-*s", label.c_str(), bar.c_str(), percent,
                 static_cast<double>(done) / (1024.0 * 1024.0), itemWidth, shortItem.c_str());
    std::fflush(stderr);
}

void CProgressBar::Finish()
{
    if (!shown) {
        return;
    }
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(label.size()) + barWidth + itemWidth + 22, "");
    std::fflush(stderr);
    shown = false;
}
