#include "digest_ahead.h"

#include "base/bounded_text.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

namespace {

// Past a few readers a disc's folder gains nothing more.
const unsigned mostReaders = 4;
// How long a thread watches for work or a result before it sleeps.
const std::chrono::microseconds watchTime(200);

void Pause()
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

template <typename Wake>
void CDigestAhead::Await(std::unique_lock<std::mutex>& guard, std::condition_variable& condition,
                         const std::atomic<unsigned>& changes, Wake wake)
{
    if (wake()) {
        return;
    }
    unsigned seen = changes.load();
    guard.unlock();
    auto until = std::chrono::steady_clock::now() + watchTime;
    for (unsigned round = 0; changes.load() == seen; ++round) {
        Pause();
        if (round % 64 == 63 && std::chrono::steady_clock::now() > until) {
            break;
        }
    }
    guard.lock();
    condition.wait(guard, wake);
}

CDigestAhead::CDigestAhead(unsigned workers) : workerCount(workers) {}

CDigestAhead::~CDigestAhead()
{
    Release();
}

unsigned CDigestAhead::WorkersFor(const char* folder)
{
    unsigned processors = std::min(std::thread::hardware_concurrency(), mostReaders);
    if (processors < 2) {
        return 0;
    }
    if (folder != nullptr && folder[0] != '\0' && folder[1] == ':') {
        char root[] = {folder[0], ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_CDROM) {
            return 0;
        }
    }
    return processors - 1;
}

void CDigestAhead::Clear(size_t size)
{
    std::unique_lock<std::mutex> guard(lock);
    // Jobs not handed out yet are never begun; those begun are waited for,
    // since their texts live in the jobs.
    count = next;
    finished.wait(guard, [this] { return busy == 0; });
    count = 0;
    next = 0;
    jobs.clear();
    // The jobs never move while workers may read them.
    jobs.reserve(size);
}

size_t CDigestAhead::Add(const char* path)
{
    Job job;
    CopyBounded(job.path, MAX_PATH, path);
    job.state = pending;
    job.readable = false;
    job.text[0] = '\0';
    jobs.push_back(job);
    return jobs.size() - 1;
}

void CDigestAhead::Launch()
{
    if (workerCount == 0 || jobs.size() < 2) {
        return;  // taken one by one on the caller's thread
    }
    if (threads.empty()) {
        StartWorkers();
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        count = jobs.size();
        ++launches;
    }
    work.notify_all();
}

void CDigestAhead::StartWorkers()
{
    // A system that refuses a thread leaves fewer workers, or none: the
    // caller's thread digests what they do not.
    try {
        while (threads.size() < workerCount) {
            threads.emplace_back(&CDigestAhead::Work, this);
        }
    } catch (const std::system_error&) {
        workerCount = static_cast<unsigned>(threads.size());
    }
}

CDigestAhead::Job* CDigestAhead::NextFree()
{
    while (next < count) {
        Job& job = jobs[next++];
        if (job.state == pending) {
            job.state = taken;
            ++busy;
            return &job;
        }
    }
    return nullptr;
}

void CDigestAhead::Run(Job& job, CFileMD5& files)
{
    const char* text = nullptr;
    // A digest that throws still ends its job, as unreadable: the file is
    // refused, and nobody waits for the job forever.
    try {
        text = files.Digest(job.path);
    } catch (...) {
        text = nullptr;
    }
    std::lock_guard<std::mutex> guard(lock);
    job.readable = text != nullptr;
    if (text != nullptr) {
        std::memcpy(job.text, text, sizeof(job.text));
    }
    job.state = done;
    --busy;
    ++finishes;
    finished.notify_all();
}

void CDigestAhead::Work()
{
    CFileMD5 files;
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        Await(guard, work, launches, [this] { return ending || next < count; });
        if (ending) {
            return;
        }
        Job* job = NextFree();
        if (job != nullptr) {
            guard.unlock();
            Run(*job, files);
            guard.lock();
        }
    }
}

const char* CDigestAhead::Take(size_t index)
{
    if (index >= jobs.size()) {
        return nullptr;
    }
    std::unique_lock<std::mutex> guard(lock);
    Job& job = jobs[index];
    if (job.state == pending) {
        job.state = taken;
        ++busy;
        guard.unlock();
        Run(job, own);
        guard.lock();
    }
    // A worker has it: help with the files nobody has begun meanwhile.
    while (job.state != done) {
        Job* other = NextFree();
        if (other == nullptr) {
            Await(guard, finished, finishes, [&job, this] { return job.state == done || next < count; });
            continue;
        }
        guard.unlock();
        Run(*other, own);
        guard.lock();
    }
    return job.readable ? job.text : nullptr;
}

void CDigestAhead::Release()
{
    Clear();
    {
        std::lock_guard<std::mutex> guard(lock);
        ending = true;
    }
    work.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
    threads.clear();
    ending = false;
    own.Release();
}
