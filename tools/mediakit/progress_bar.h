// A one-line progress bar on standard error, drawn only when it is a terminal
// and the work is large enough to be worth watching: how far, how fast
// (MiB/s) and how long is left at that rate.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

class CProgressBar {
public:
    // total in bytes; label says what is being done ("hashing").
    CProgressBar(const std::string& label, uint64_t total);
    // Without a total the bar stays hidden until SetTotal.
    explicit CProgressBar(const std::string& label);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    // done bytes more, the last of them from item.
    void Advance(uint64_t done, const std::string& item);
    // Clears the line so that what follows starts on a clean one.
    void Finish();
    // False when standard error is not a terminal (a console on Windows): then nothing is ever drawn.
    static bool CanShow();
    void SetTotal(uint64_t totalBytes);

    // Trees below this size are done before a bar would help.
    static const uint64_t minimumTotal = 4u * 1024 * 1024;

private:
    void Draw(const std::string& item);

    std::string label;
    uint64_t total;
    uint64_t done = 0;
    bool shown;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn;
};
